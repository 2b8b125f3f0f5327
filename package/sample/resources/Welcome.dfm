object Welcome: TForm
  Left = 0
  Top = 0
  BorderStyle = bsDialog
  Caption = 'Welcome'
  ClientHeight = 360
  ClientWidth = 500
  object Label1: TLabel
    Left = 16
    Top = 16
    Width = 300
    Height = 13
    Caption = 'Welcome to the TX880 sample setup.'
  end
end
