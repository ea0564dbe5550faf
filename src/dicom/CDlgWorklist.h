#pragma once
// "Worklist": today's procedures from the hospital's modality worklist, in the skinned
// dialog frame. The query starts when the dialog opens and runs on a worker
// (WorklistQuery); the list shows scheduled time, patient's name, patient ID, birth
// date, procedure description, accession number and performing physician. The search
// box filters the rows as one types (any column, any case) and selects the first
// match. A double click, Enter or "Choose" takes the selected row; a failed query is told in the dialog, and the form
// can still be filled by hand.

#include "dialogs/CMyDialog.h"
#include "dicom/WorklistQuery.h"

#include <optional>

class QLineEdit;
class QSortFilterProxyModel;
class QStandardItemModel;
class QTableView;

namespace kestovar {

class CFontStatic;
class CGdipButton;

class CDlgWorklist : public CMyDialog {
    Q_OBJECT
public:
    // Starts the query at once (when a worklist server is set up).
    CDlgWorklist(const DicomSettings& settings, QWidget* parent = nullptr);

    // Shows a result (what the query's end does); for checks too.
    void ShowResult(const WorklistResult& result);
    std::optional<WorklistEntry> Chosen() const { return chosen_; }

    QLineEdit* SearchBox() const { return search_; }
    QTableView* Table() const { return table_; }
    int VisibleRows() const;
    QString StatusText() const;
    CGdipButton* ChooseButton() const { return choose_; }
    WorklistQuery* Query() const { return query_; }
    // Takes the visible row `row` (as after a double click); false when there is none.
    bool ChooseRow(int row);

signals:
    void ResultShown();

private:
    std::vector<WorklistEntry> entries_;
    std::optional<WorklistEntry> chosen_;
    WorklistQuery* query_;
    QLineEdit* search_;
    QStandardItemModel* model_;
    QSortFilterProxyModel* filter_;
    QTableView* table_;
    CFontStatic* status_;
    CGdipButton* choose_;
};

} // namespace kestovar
