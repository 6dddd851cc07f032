// What each system's half of the code page gives codepage_host.cpp. Only
// the code page's own files include this header.
#pragma once

namespace quorvel::os::detail {

// SystemCodePageNumber, from the system.
int SystemPage();

}  // namespace quorvel::os::detail
