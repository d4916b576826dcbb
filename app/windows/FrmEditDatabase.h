#pragma once
// "Edit record": changes or deletes the record of the main window's selected
// grid row.

#include "RecordWindow.h"

namespace tavrin
{

class FrmEditDatabase : public RecordWindow
{
    Q_OBJECT

  public:
    explicit FrmEditDatabase(Form1& form1);

    // Deletes the shown record at once, without asking.
    void cmdDelete_Click() { removeRecord(); }
};

} // namespace tavrin
