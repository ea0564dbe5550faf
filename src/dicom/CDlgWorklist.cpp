#include "dicom/CDlgWorklist.h"

#include "ui/CFontStatic.h"
#include "ui/CGdipButton.h"
#include "ui/SkinPalette.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

namespace kestovar {

namespace {

const QSize kClient(900, 520);

QString Style()
{
    return QStringLiteral(
        "QLineEdit { background: #3A3A3A; color: #FFFFFF; border: 1px solid #636363; padding: 3px; }"
        "QTableView { background: #3A3A3A; alternate-background-color: #424242; color: #FFFFFF;"
        "  gridline-color: #505050; border: 1px solid #636363; selection-background-color: #5EB7E3;"
        "  selection-color: #000000; }"
        "QHeaderView::section { background: #2E2E2E; color: #E4E4E4; border: 0; border-right: 1px solid "
        "#505050;"
        "  padding: 3px; }"
        "QTableCornerButton::section { background: #2E2E2E; border: 0; }");
}

} // namespace

CDlgWorklist::CDlgWorklist(const DicomSettings& settings, QWidget* parent)
    : CMyDialog(parent)
    , query_(new WorklistQuery(this))
    , search_(new QLineEdit)
    , model_(new QStandardItemModel(this))
    , filter_(new QSortFilterProxyModel(this))
    , table_(new QTableView)
    , status_(new CFontStatic(this))
    , choose_(new CGdipButton(QStringLiteral("button"), QStringLiteral("Choose"), this))
{
    SetTitle(QStringLiteral("Worklist"));
    SetColours(skin::kText, skin::kFrame, skin::kBackground);
    SetClientSize(kClient);
    setStyleSheet(Style());

    auto* client = new QWidget(this);
    client->setGeometry(QRect(ClientOrigin(), kClient));
    auto* column = new QVBoxLayout(client);
    column->setContentsMargins(12, 10, 12, 10);
    search_->setPlaceholderText(QStringLiteral("Search"));
    search_->setClearButtonEnabled(true);
    column->addWidget(search_);

    model_->setHorizontalHeaderLabels({ QStringLiteral("Time"), QStringLiteral("Patient's name"),
        QStringLiteral("Patient ID"), QStringLiteral("Birth date"), QStringLiteral("Procedure"),
        QStringLiteral("Accession number"), QStringLiteral("Performing physician") });
    filter_->setSourceModel(model_);
    filter_->setFilterKeyColumn(-1);
    filter_->setFilterCaseSensitivity(Qt::CaseInsensitive);
    table_->setModel(filter_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setAlternatingRowColors(true);
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setDefaultSectionSize(24);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setWordWrap(false);
    const int widths[] = { 50, 170, 95, 85, 180, 135 };
    for (int i = 0; i < 6; ++i)
        table_->setColumnWidth(i, widths[i]);
    column->addWidget(table_, 1);

    status_->SetFont(QStringLiteral("Arial"), 15, skin::kText, CFontStatic::Left);
    status_->SetBackground(skin::kBackground);
    status_->setWordWrap(true);
    status_->setMinimumHeight(24);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(status_, 1);
    choose_->setFixedSize(110, 36);
    choose_->setEnabled(false);
    bottom->addWidget(choose_);
    column->addLayout(bottom);

    connect(search_, &QLineEdit::textChanged, this, [this](const QString& text) {
        filter_->setFilterFixedString(text.trimmed());
        if (filter_->rowCount() > 0)
            table_->selectRow(0);
    });
    connect(table_, &QTableView::doubleClicked, this,
        [this](const QModelIndex& index) { ChooseRow(index.row()); });
    connect(
        table_, &QTableView::activated, this, [this](const QModelIndex& index) { ChooseRow(index.row()); });
    auto chooseSelected = [this] {
        const QModelIndexList rows = table_->selectionModel()->selectedRows();
        ChooseRow(rows.isEmpty() ? -1 : rows.first().row());
    };
    connect(choose_, &QPushButton::clicked, this, chooseSelected);
    // Enter in the search box takes the selected row (the first match after typing).
    connect(search_, &QLineEdit::returnPressed, this, chooseSelected);
    connect(query_, &WorklistQuery::Finished, this, &CDlgWorklist::ShowResult);
    if (settings.worklistConfigured()) {
        status_->setText(QStringLiteral("Asking the worklist server..."));
        query_->Start(settings);
    } else {
        status_->setText(QStringLiteral("The worklist server is not set up (Config > PACS)."));
    }
    search_->setFocus();
}

void CDlgWorklist::ShowResult(const WorklistResult& result)
{
    entries_ = result.entries;
    model_->removeRows(0, model_->rowCount());
    if (!result.ok) {
        status_->setText(result.message);
        emit ResultShown();
        return;
    }
    model_->setRowCount(int(entries_.size()));
    for (int row = 0; row < int(entries_.size()); ++row) {
        const WorklistEntry& e = entries_[size_t(row)];
        const QString cells[] = { e.readableTime(), e.readablePatientName(), e.patientId,
            e.readableBirthDate(), e.procedureDescription, e.accessionNumber, e.readablePhysician() };
        for (int c = 0; c < 7; ++c) {
            auto* item = new QStandardItem(cells[c]);
            item->setData(row, Qt::UserRole); // the entry, whatever the filter shows
            model_->setItem(row, c, item);
        }
    }
    if (entries_.empty()) {
        status_->setText(QStringLiteral("No procedures scheduled for today"));
    } else {
        status_->setText(entries_.size() == 1
                ? QStringLiteral("1 procedure scheduled for today")
                : QStringLiteral("%1 procedures scheduled for today").arg(entries_.size()));
        choose_->setEnabled(true);
        filter_->setFilterFixedString(search_->text().trimmed());
        if (filter_->rowCount() > 0)
            table_->selectRow(0);
    }
    emit ResultShown();
}

int CDlgWorklist::VisibleRows() const
{
    return filter_->rowCount();
}

QString CDlgWorklist::StatusText() const
{
    return status_->text();
}

bool CDlgWorklist::ChooseRow(int row)
{
    if (row < 0 || row >= filter_->rowCount())
        return false;
    const int entry = filter_->index(row, 0).data(Qt::UserRole).toInt();
    if (entry < 0 || entry >= int(entries_.size()))
        return false;
    chosen_ = entries_[size_t(entry)];
    accept();
    return true;
}

} // namespace kestovar
