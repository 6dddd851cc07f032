#include "os/codepage_host.h"
#include "os/codepage_host_system.h"

namespace quorvel::os {

int SystemCodePageNumber() { return detail::SystemPage(); }

const CodePage& ActiveCodePage() {
  const CodePage* page = FindCodePage(SystemCodePageNumber());
  return page ? *page : *FindCodePage(1252);
}

}  // namespace quorvel::os
