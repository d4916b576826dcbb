#pragma once
// The busy cursor for the length of a scope: a step that can take more than
// about half a second on a large catalogue shows it.

#include <QApplication>
#include <QCursor>

namespace tavrin {

class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

} // namespace tavrin
