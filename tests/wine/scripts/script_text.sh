# script_text: turns lines of "Command|parameter|parameter..." on standard input into a compiled
# script (CR LF lines, one identifier per command, plain fixed parts) on standard output.
# SCRIPT_REVISION, when set, replaces the revision code (a newer package over an installed one).
script_text() {
  local -a names=() blocks=()
  local line i=0 id revision='{8D2B3C4E-5F60-4B7C-9D8E-0F1A2B3C4D5E}'
  [[ -n ${SCRIPT_REVISION:-} ]] && revision=$SCRIPT_REVISION
  while IFS= read -r line; do
    [[ -z $line ]] && continue
    id=$(printf '{00000000-0000-4000-8000-%012d}' "$i")
    names+=("${line%%|*}")
    if [[ $line == *"|"* ]]; then
      blocks+=("$id" "${line#*|}")
    fi
    i=$((i + 1))
  done
  {
    printf '%s\n' "${names[@]}" '$'
    for ((i = 0; i < ${#names[@]}; i++)); do printf '{00000000-0000-4000-8000-%012d}\n' "$i"; done
    echo '$'
    for ((i = 0; i < ${#blocks[@]}; i += 2)); do
      echo "${blocks[i]}"
      tr '|' '\n' <<<"${blocks[i + 1]}"
    done
    echo '$'
    for ((i = 0; i < ${#names[@]}; i++)); do echo; done
    echo '$'
    echo '{7C1A2B3D-4E5F-4A6B-8C7D-9E0F1A2B3C4D}'
    echo 'TX880 Wine Test'
    echo '$'
    printf '%s\n' Corvane '' '' '' '' 1.0 '$'
    for ((i = 0; i < ${#names[@]}; i++)); do echo; done
    echo '$'
    printf '%s\n' 1 VORN-PREDEF-COMPONENT 0 '$' "$revision" '$' FALSE English '$' '$'
  } | sed 's/$/\r/'
}
