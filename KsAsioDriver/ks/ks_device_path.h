#pragma once
// Interface 0 of the TX880's composite USB device. The ids are build settings
// (TX880_USB_VENDOR_ID / TX880_USB_PRODUCT_ID in CMake).
#ifndef TX880_USB_VID
#define TX880_USB_VID "0a4d"
#endif
#ifndef TX880_USB_PID
#define TX880_USB_PID "88a0"
#endif

namespace tx880::ks {

inline constexpr char DevicePathPrefix[] =
    "\\\\?\\usb#vid_" TX880_USB_VID "&pid_" TX880_USB_PID "&mi_00";

static_assert(sizeof(TX880_USB_VID) == 5 && sizeof(TX880_USB_PID) == 5,
              "USB ids are four hexadecimal digits");

}  // namespace tx880::ks
