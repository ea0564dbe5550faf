#include "library/CDlgFolder.h"

#include "library/CExEdit.h"
#include "library/CShellTreeCtrl.h"
#include "platform/RenameNoReplace.h"
#include "recording/FileNameRules.h"
#include "ui/CGdiPlusBitmapResource.h"
#include "ui/CGdipButton.h"
#include "ui/CSkinScrollWnd.h"
#include "ui/DialogUnits.h"

#include "dialogs/DialogFrameGeometry.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPainter>
#include <QSizeGrip>
#include <QTimer>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>

namespace kestovar {

namespace {

// The resize grip, drawn from the skin.
class SkinSizeGrip : public QSizeGrip {
public:
    explicit SkinSizeGrip(QWidget* parent)
        : QSizeGrip(parent)
    {
        image_.Load(QStringLiteral("size_grip"));
        setFixedSize(image_.IsLoaded() ? image_.Size() : QSize(12, 12));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        if (image_.IsLoaded())
            image_.Draw(p, QRectF(rect()));
    }

private:
    CGdiPlusBitmapResource image_;
};

QString JoinFolder(const QString& folder, const QString& name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

} // namespace

CDlgFolder::CDlgFolder(QWidget* parent)
    : CMyDialog(parent)
    , tree_(new CShellTreeCtrl(this))
    , treeFrame_(new CSkinScrollWnd(this))
    , ok_(new CGdipButton(QStringLiteral("button"), QStringLiteral("Ok"), this))
    , cancel_(new CGdipButton(QStringLiteral("button"), QStringLiteral("Cancel"), this))
    , create_(new CGdipButton(QStringLiteral("button"), QStringLiteral("Create"), this))
    , grip_(new SkinSizeGrip(this))
    , notice_(ShowNotice)
{
    SetTitle(QStringLiteral("Kestovar"));
    // Resizable: the size is set here, not fixed as the message dialogs do.
    resize(WindowSizeForClient(DluSize(269, 253)));
    setMinimumSize(kMinimumSize);
    setSizeGripEnabled(false);

    tree_->FillTopLevel();
    treeFrame_->Attach(tree_, QStringLiteral("scrollbar_grid"));
    for (CGdipButton* b : { ok_, cancel_, create_ }) {
        // Enter must not press a button: it ends a label edit, or does nothing.
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    ok_->setEnabled(false);
    create_->setEnabled(false);

    connect(tree_, &QTreeWidget::currentItemChanged, this, &CDlgFolder::OnSelectionChanged);
    connect(tree_, &CShellTreeCtrl::LabelEdited, this, &CDlgFolder::RenameFolder, Qt::QueuedConnection);
    connect(ok_, &QPushButton::clicked, this, &CDlgFolder::accept);
    connect(cancel_, &QPushButton::clicked, this, &CDlgFolder::reject);
    connect(create_, &QPushButton::clicked, this, &CDlgFolder::CreateNewFolder);
    Relayout();
}

bool CDlgFolder::SelectPath(const QString& path)
{
    return tree_->SelectPath(path);
}

void CDlgFolder::OnSelectionChanged()
{
    const QString path = CShellTreeCtrl::PathOf(tree_->currentItem());
    const bool usable = !path.isEmpty() && QFileInfo(path).isDir();
    chosen_ = usable ? path : QString();
    ok_->setEnabled(usable);
    create_->setEnabled(usable);
}

QString CDlgFolder::CreateNewFolder()
{
    QTreeWidgetItem* item = tree_->currentItem();
    const QString parentPath = CShellTreeCtrl::PathOf(item);
    if (!item || parentPath.isEmpty()) {
        chosen_.clear();
        return {};
    }
    chosen_ = parentPath;
    QString name;
    int error = 0;
    for (int n = 0; n <= kMaxNewFolderNumber; ++n) {
        const QString candidate = QStringLiteral("New folder(%1)").arg(n);
        if (::mkdir(QFile::encodeName(JoinFolder(parentPath, candidate)).constData(), 0777) == 0) {
            name = candidate;
            break;
        }
        error = errno;
        if (error != EEXIST)
            break; // no number will help (no permission, read-only, full)
    }
    if (name.isEmpty()) {
        chosen_.clear();
        Tell(QStringLiteral("A new folder cannot be made in \"%1\" (%2).")
                 .arg(parentPath, QString::fromLocal8Bit(std::strerror(error))));
        return {};
    }
    tree_->RefreshSubItems(item);
    item->setExpanded(true);
    QTreeWidgetItem* made = tree_->FindChild(item, name);
    if (!made) {
        chosen_.clear();
        return {};
    }
    tree_->setCurrentItem(made); // chosen path follows the selection
    tree_->scrollToItem(made);
    tree_->editItem(made);
    return CShellTreeCtrl::PathOf(made);
}

bool CDlgFolder::RenameFolder(QTreeWidgetItem* item, const QString& text)
{
    const QString oldPath = CShellTreeCtrl::PathOf(item);
    if (!item || oldPath.isEmpty() || !item->parent())
        return false; // the top-level places keep their names
    if (text.isEmpty() || text == item->text(0))
        return true; // nothing typed, or the same name: the folder stays as it is
    const QString parentPath = CShellTreeCtrl::PathOf(item->parent());
    auto editAgain = [this, item] { QTimer::singleShot(0, tree_, [this, item] { tree_->editItem(item); }); };
    const NameCheck check = CheckRenameText(text.toStdString(), NameMaxBytes(parentPath.toStdString()));
    if (!check.ok()) {
        Tell(QString::fromStdString(check.message));
        editAgain();
        return false;
    }
    const QString newPath = JoinFolder(parentPath, text);
    if (const int err = RenameNoReplace(oldPath.toStdString(), newPath.toStdString())) {
        Tell(err == EEXIST || err == ENOTEMPTY
                ? QStringLiteral("A folder named \"%1\" already exists.").arg(text)
                : QStringLiteral("The folder cannot be renamed (%1).")
                      .arg(QString::fromLocal8Bit(std::strerror(err))));
        editAgain();
        return false;
    }
    tree_->SetItemPath(item, newPath, text);
    tree_->setCurrentItem(item);
    OnSelectionChanged();
    return true;
}

void CDlgFolder::accept()
{
    if (chosen_.isEmpty())
        return;
    CMyDialog::accept();
}

void CDlgFolder::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // An open label editor takes these keys itself; here they do nothing.
        event->accept();
        return;
    default:
        CMyDialog::keyPressEvent(event);
    }
}

void CDlgFolder::resizeEvent(QResizeEvent* event)
{
    CMyDialog::resizeEvent(event);
    Relayout();
}

void CDlgFolder::Relayout()
{
    // The tree grows with the dialog; Ok and Cancel keep to the bottom-right corner,
    // Create to the bottom-left.
    const QRect client = ClientRect(size());
    const QSize designed = DluSize(269, 253);
    const int dx = client.width() - designed.width();
    const int dy = client.height() - designed.height();
    const QRect tree = DluRect(2, 2, 265, 215);
    treeFrame_->setGeometry(ToDialog(QRect(tree.topLeft(), tree.size() + QSize(dx, dy))));
    ok_->move(ToDialog(DluRect(126, 222, 67, 26)).topLeft() + QPoint(dx, dy));
    cancel_->move(ToDialog(DluRect(198, 222, 67, 26)).topLeft() + QPoint(dx, dy));
    create_->move(ToDialog(DluRect(4, 221, 67, 26)).topLeft() + QPoint(0, dy));
    grip_->move(width() - grip_->width() - 2, height() - grip_->height() - 2);
    grip_->raise();
    update();
}

void CDlgFolder::Tell(const QString& text)
{
    if (notice_)
        notice_(this, text);
}

} // namespace kestovar
