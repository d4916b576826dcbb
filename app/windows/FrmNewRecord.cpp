#include "FrmNewRecord.h"

namespace tavrin
{

FrmNewRecord::FrmNewRecord(Form1& form1) : RecordWindow(form1, RecordWindowKind::New) {}

std::string FrmNewRecord::GetSingleDirName(std::string_view sScanString)
{
    return tavrin::GetSingleDirName(sScanString);
}

} // namespace tavrin
