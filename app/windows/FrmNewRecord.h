#pragma once
// "New record": appends a record to the catalogue when it opens and lets the
// user fill it in; Cancel, Escape and the close box remove it again.

#include "RecordWindow.h"

#include <string>
#include <string_view>

namespace tavrin
{

class FrmNewRecord : public RecordWindow
{
    Q_OBJECT

  public:
    explicit FrmNewRecord(Form1& form1);

    // The name of a path's last folder: a software file's folder names its
    // publisher.
    static std::string GetSingleDirName(std::string_view sScanString);
};

} // namespace tavrin
