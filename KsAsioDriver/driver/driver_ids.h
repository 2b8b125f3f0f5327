#pragma once
// The driver's class id: the COM class, the registration keys and the IASIO query all use it
// (ASIO hosts pass the class id as the interface id too).
#include <windows.h>

namespace tx880::asio {

// {CE67CF8D-A7E9-492E-A424-EB8EDD41092E}
inline constexpr GUID kDriverClassId = {
    0xce67cf8d, 0xa7e9, 0x492e, {0xa4, 0x24, 0xeb, 0x8e, 0xdd, 0x41, 0x09, 0x2e}};

}  // namespace tx880::asio
