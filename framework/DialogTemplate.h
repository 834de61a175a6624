#pragma once
// Reading extended dialog templates. CreateDialogIndirect rejects an item whose class is a
// CLSID string, so such items are taken out of a copy of the template and created by the
// control container instead, at the same place.
#include <windows.h>
#include <string>
#include <vector>

namespace fw {

struct TemplateControl {
  int id = 0;
  RECT dialogUnits{};     // x, y, x + cx, y + cy in dialog units
  DWORD style = 0;
  DWORD exStyle = 0;
  std::wstring classString;  // for instance "{8856F961-340A-11D0-A96B-00C04FD705A2}"
  int previousId = 0;     // id of the item before it in the template (its place in the tab order)
  bool first = false;     // the template's first item
};

struct SplitTemplate {
  std::vector<BYTE> bytes;                  // the template without the CLSID items
  std::vector<TemplateControl> controls;    // the items taken out, in template order
};

// Splits an extended template (DLGTEMPLATEEX). A classic DLGTEMPLATE, or one that cannot be
// read to its end, is copied unchanged with no controls taken out.
SplitTemplate SplitDialogTemplate(const void* data, size_t size);

}  // namespace fw
