#include "FrmEditDatabase.h"

namespace tavrin
{

FrmEditDatabase::FrmEditDatabase(Form1& form1) : RecordWindow(form1, RecordWindowKind::Edit) {}

} // namespace tavrin
