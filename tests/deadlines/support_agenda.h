// A practice folder for the agenda's tests: the fixture copied into a
// temporary folder, "Pratiche.xls" opened as the start-up does, the agenda's
// forms registered, plus a stand-in main menu.
#pragma once

#include "common/practice.h"

#include <QCheckBox>
#include <QTest>

struct AgendaEnv : TestPractice {
    // Copies the fixture and opens "Pratiche.xls"; false when the fixture is absent.
    bool start(bool withDeadlineFile = true);

    // Processes events until the form is the one last activated.
    bool waitActive(const QString& form);
};

// A fresh host reading a saved workbook, to check what reached the disk. It
// reads a copy, since the program under test still holds the file's lock.
struct SavedBook {
    QTemporaryDir copyDir;
    gp::host::SpreadsheetHost host;
    gp::host::Book* book = nullptr;
    SavedBook(const QString& path, const QString& password);
    ~SavedBook() { host.closeAll(); }
    gp::host::Sheet* sheet(const QString& name) { return book->sheet(name); }
};

template <class T>
T* child(QWidget* form, const char* name)
{
    return form ? form->findChild<T*>(QString::fromLatin1(name)) : nullptr;
}

#define SKIP_WITHOUT_FIXTURE(env)                                                                                \
    if (!(env).start())                                                                                          \
    QSKIP("the practice fixture (GP_SHARED_DIR/fixtures/practice) is absent")
