#include "app/form8.h"

#include "app/artwork.h"
#include "core/host/spreadsheet_host.h"
#include "core/ui/app_context.h"
#include "core/ui/clock.h"
#include "core/ui/geometry.h"
#include "core/ui/message_box.h"
#include "core/ui/navigator.h"
#include "core/ui/settings_sheet.h"
#include "core/ui/text_rules.h"

#include <QEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace gp::app {

using namespace gp::ui;

namespace {
// Selects the whole text whenever the box takes the focus, so that the first
// key typed replaces the masked text the box starts with. The selection waits
// for the click that gave the focus, which would otherwise place the caret.
class SelectAllOnFocus : public QObject {
public:
    explicit SelectAllOnFocus(QLineEdit* box) : QObject(box), box_(box) { box->installEventFilter(this); }

protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::FocusIn)
            QTimer::singleShot(0, box_, [box = box_] { box->selectAll(); });
        return false;
    }

private:
    QLineEdit* box_;
};
} // namespace

Form8::Form8(AppContext& ctx) : FormBase(ctx, kName)
{
    setWindowTitle(kCaption);
    setCloseRefused(true);
    QWidget* b = body();

    picture1_ = new QLabel(b);
    picture1_->setObjectName(QStringLiteral("Picture1"));
    placeTwips(picture1_, 240, 240, 1440, 1440);
    picture1_->setPixmap(practiceArtwork(twips(1440)));

    label1_ = new QLabel(QStringLiteral("Benvenuto !    Inserisci la Password"), b);
    label1_->setObjectName(QStringLiteral("Label1"));
    placeTwips(label1_, 1920, 360, 4200, 360);
    QFont big = label1_->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.15);
    label1_->setFont(big);

    text1_ = new QLineEdit(QStringLiteral("nori"), b);
    text1_->setObjectName(QStringLiteral("Text1"));
    text1_->setEchoMode(QLineEdit::Password);
    text1_->setStyleSheet(QStringLiteral("lineedit-password-character: 42;")); // typing shows "*"
    placeTwips(text1_, 1920, 840, 2400, 375);
    new SelectAllOnFocus(text1_);

    command1_ = new QPushButton(QStringLiteral("Conferma la Password"), b);
    command1_->setObjectName(QStringLiteral("Command1"));
    command1_->setDefault(true);
    command1_->setAutoDefault(true);
    placeTwips(command1_, 4440, 810, 2280, 435);

    label2_ = new QLabel(b);
    label2_->setObjectName(QStringLiteral("Label2"));
    placeTwips(label2_, 1920, 1440, 4800, 300);

    label3_ = new QLabel(QStringLiteral("Questa applicazione sarà migliorata se anche tu ci aiuterai"), b);
    label3_->setObjectName(QStringLiteral("Label3"));
    label3_->setAlignment(Qt::AlignCenter);
    QFont small = label3_->font();
    small.setItalic(true);
    label3_->setFont(small);
    placeTwips(label3_, 240, 1920, 6480, 300);

    connect(command1_, &QPushButton::clicked, this, &Form8::command1Click);
    connect(text1_, &QLineEdit::returnPressed, command1_, &QPushButton::click);

    setClientSizeTwips(6960, 2460);
    setFixedSize(size());
    centreOnScreen();
}

bool Form8::verifyFile(const QString& fileName)
{
    QFile f(fileName);
    const bool ok = f.open(QIODevice::ReadOnly);
    if (ok)
        f.close();
    return ok;
}

void Form8::onActivate()
{
    hostGuard(this, [&] { ctx().practice()->sheet(kSettingsSheet)->showForWork(); });
    label2_->setText(longDateIt(Clock::today()));
    text1_->setFocus();
    text1_->selectAll();
}

void Form8::command1Click()
{
    ++loginAttempts_;
    QString expected;
    if (!hostGuard(this, [&] { expected = loginPassword(ctx()); }))
        return;
    if (expected == text1_->text()) {
        hide();
        if (!ctx().navigator->showMainMenu())
            msgBox(this, QStringLiteral("Il menu principale non è disponibile."), OkOnly | Critical,
                   QStringLiteral("Gestione Pratiche"));
        return;
    }
    const QString title = loginAttempts_ < 3 ? QStringLiteral("Prova # %1").arg(loginAttempts_)
                                             : QStringLiteral("Ultima prova");
    msgBox(this, QStringLiteral("NON E' VALIDA -Riprova!"), OkOnly | Critical, title);
    if (loginAttempts_ == 3) {
        // The workbook is closed without saving, and the program ends.
        ctx().endProgram(1);
    }
}

} // namespace gp::app
