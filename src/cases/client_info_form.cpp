#include "cases/client_info_form.h"

#include "cases/case_sheet.h"
#include "core/host/spreadsheet_host.h"
#include "core/ui/app_context.h"
#include "core/ui/geometry.h"
#include "core/ui/message_box.h"
#include "core/ui/navigator.h"
#include "core/ui/text_rules.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

namespace gp::cases {

using namespace gp::ui;

ClientInfoForm::ClientInfoForm(AppContext& ctx) : FormBase(ctx, kName)
{
    setWindowTitle(kCaption);
    title_ = new QLabel(body());
    title_->setObjectName(QStringLiteral("Label1"));
    placeTwips(title_, 240, 240, 8400, 375);
    list_ = new QTreeWidget(body());
    list_->setObjectName(QStringLiteral("ListView1"));
    list_->setRootIsDecorated(false);
    list_->setColumnCount(2);
    list_->setHeaderLabels({QStringLiteral("Campo"), QStringLiteral("Valore")});
    list_->setColumnWidth(0, twips(3000));
    list_->setWordWrap(true);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    placeTwips(list_, 240, 720, 8400, 5400);
    auto* close = new QPushButton(QStringLiteral("&Chiudi"), body());
    close->setObjectName(QStringLiteral("Command1"));
    placeTwips(close, 6585, 6300, 2055, 435);
    connect(close, &QPushButton::clicked, this, [this] { this->ctx().navigator->unload(kName); });
    setEscapeCommand(close);
    setClientSizeTwips(8880, 6960);
}

void ClientInfoForm::showClient(double clientNumber)
{
    list_->clear();
    title_->clear();
    hostGuard(this, [&] {
        host::Book* book = ctx().practice();
        if (!book)
            throw host::HostError(QStringLiteral("Il file %1 non è aperto.").arg(kPracticeFile));
        host::Sheet* clienti = book->sheet(kClientSheet);
        const int row = clientRow(*clienti, clientNumber);
        if (!row) {
            title_->setText(QStringLiteral("Il Cliente %1 non esiste nell'Anagrafica.").arg(valueText(clientNumber)));
            return;
        }
        title_->setText(QStringLiteral("Cliente N° %1").arg(valueText(clientNumber)));
        QList<QTreeWidgetItem*> items;
        for (int col = 1; col <= sheet::kMaxCols; ++col) {
            const QString heading = cellText(*clienti, 1, col);
            if (heading.isEmpty())
                break;
            auto* item = new QTreeWidgetItem({heading, cellText(*clienti, row, col)});
            items << item;
        }
        list_->addTopLevelItems(items);
    });
}

} // namespace gp::cases
