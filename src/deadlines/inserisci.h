// The deadline editor "Inserisci" (caption "Gestione Dorvessa 1.3").
//
// Two panels replace each other: the chooser Frame1 (insert, modify, delete,
// events, expired events) and the event panel Frame2 with the fields of one
// event. Command2 confirms the chosen operation on sheet "Dorvessa" of
// "Dorvessa.xls": it checks the fields first, then inserts, modifies or
// deletes, and saves. Modify and delete act on the event handed over by the
// viewer (a double click on one of its lines); that hand-over survives the
// reset the editor does on each activation.
#pragma once

#include "core/ui/form_base.h"

#include <QDate>
#include <QStringList>
#include <QVariant>

#include <optional>

class QCalendarWidget;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace gp::deadlines {

class Logo;
struct Event;

class Inserisci : public ui::FormBase {
    Q_OBJECT
public:
    static inline const QString kName = QStringLiteral("Inserisci");
    static inline const QString kCaption = QStringLiteral("Gestione Dorvessa 1.3");

    enum class Mode { Chooser, Insert, Modify, Delete };

    explicit Inserisci(ui::AppContext& ctx);

    Mode mode() const { return mode_; }
    // Check6 "search" is ticked: the viewer then lists every event.
    bool searchChecked() const;
    // The ID of the event whose fields are loaded (modify and delete act on it).
    std::optional<double> loadedEventId() const { return loadedId_; }

    // The viewer's double click: the editor takes the event, in the modify or
    // delete mode it is in (modify when it is in neither), and shows it when
    // it next becomes active.
    void takeEvent(const Event& event);

    // CtrNumD: the number with digit grouping and two decimals ("1.234,50").
    static QString ctrNumD(double value);

protected:
    void onActivate() override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void enterMode(Mode m);
    void applyHandOver();
    void clearFields(); // ClearFields
    void showViewer(int listKind, const QString& caption);

    void check1Toggled(bool checked);
    void check2Toggled(bool checked);
    void check3Toggled(bool checked);
    void check4Toggled(bool checked);
    void check5Toggled(bool checked);
    void check6Toggled(bool checked);
    void calendarClicked();
    void command1Clicked(); // "Esci"
    void command2Clicked(); // confirm
    void text4Left();       // the amount rule on leaving the field
    void markAmount(bool invalid);

    void insertEvent();
    void modifyEvent();
    void deleteEvent();
    bool readFields(struct EventFields& out);

    QGroupBox* frame1_;
    QGroupBox* frame2_;
    QCheckBox* check_[7] = {}; // Check1..Check6 at [1]..[6]
    QLabel* label1_;
    QLineEdit* text1_;
    QComboBox* combo1_;
    QLineEdit* text2_;
    QPlainTextEdit* text3_;
    QLineEdit* text4_;
    QPushButton* command1_;
    QPushButton* command2_;
    QPushButton* command3_;
    QLabel* label6_;
    QCalendarWidget* calendario_;
    Logo* image1_;

    Mode mode_ = Mode::Chooser;
    std::optional<double> loadedId_;
    bool amountInvalid_ = false;

    struct HandOver {
        Mode mode;
        double id;
        QStringList texts; // A..F as the viewer showed them
        QString note;
        QDate date;
        QVariant amount;
    };
    std::optional<HandOver> pending_;
};

} // namespace gp::deadlines
