#include "library/CShellTreeCtrl.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QStorageInfo>
#include <QStyle>
#include <QStyledItemDelegate>

#include <algorithm>

namespace kestovar {

namespace {

// Hands a finished label edit to the tree instead of writing it into the item.
class LabelEditDelegate : public QStyledItemDelegate {
public:
    explicit LabelEditDelegate(CShellTreeCtrl* tree)
        : QStyledItemDelegate(tree)
        , tree_(tree)
    {
    }
    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override
    {
        auto* edit = qobject_cast<QLineEdit*>(editor);
        QTreeWidgetItem* item = tree_->itemFromIndex(index);
        if (edit && item)
            emit tree_->LabelEdited(item, edit->text());
    }

private:
    CShellTreeCtrl* tree_;
};

bool IsMediaMount(const QString& root)
{
    return root.startsWith(QLatin1String("/media/")) || root.startsWith(QLatin1String("/run/media/"))
        || root.startsWith(QLatin1String("/mnt/"));
}

} // namespace

CShellTreeCtrl::CShellTreeCtrl(QWidget* parent)
    : QTreeWidget(parent)
{
    setColumnCount(1);
    setHeaderHidden(true);
    setRootIsDecorated(true);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::EditKeyPressed);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setItemDelegate(new LabelEditDelegate(this));
    QPalette p = palette();
    p.setColor(QPalette::Base, QColor::fromRgb(kBackground));
    p.setColor(QPalette::Text, Qt::black);
    p.setColor(QPalette::Highlight, QColor::fromRgb(0x33B3D8));
    p.setColor(QPalette::HighlightedText, Qt::black);
    setPalette(p);
    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
        if (!IsFilled(item))
            Fill(item);
    });
}

QString CShellTreeCtrl::PathOf(const QTreeWidgetItem* item)
{
    return item ? item->data(0, kPathRole).toString() : QString();
}

bool CShellTreeCtrl::IsFilled(const QTreeWidgetItem* item) const
{
    return item && item->data(0, kFilledRole).toBool();
}

QTreeWidgetItem* CShellTreeCtrl::AddPlace(const QString& label, const QString& path, const QIcon& icon)
{
    auto* item = new QTreeWidgetItem(this, { label });
    item->setData(0, kPathRole, path);
    item->setToolTip(0, path);
    item->setIcon(0, icon);
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    return item;
}

void CShellTreeCtrl::FillTopLevel()
{
    setUpdatesEnabled(false);
    clear();
    const QString home = QDir::homePath();
    if (QFileInfo(home).isDir() && home != QLatin1String("/"))
        AddPlace(QStringLiteral("Home"), home, style()->standardIcon(QStyle::SP_DirHomeIcon));
    AddPlace(
        QStringLiteral("File System"), QStringLiteral("/"), style()->standardIcon(QStyle::SP_DriveHDIcon));
    QStringList mounts;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        const QString root = volume.rootPath();
        if (!volume.isValid() || !IsMediaMount(root) || mounts.contains(root))
            continue;
        mounts << root;
        const QString name
            = volume.displayName().isEmpty() ? QFileInfo(root).fileName() : volume.displayName();
        AddPlace(name, root, style()->standardIcon(QStyle::SP_DriveFDIcon));
    }
    if (topLevelItemCount() > 0)
        scrollToItem(topLevelItem(0));
    setUpdatesEnabled(true);
}

void CShellTreeCtrl::Fill(QTreeWidgetItem* item)
{
    const QString path = PathOf(item);
    QFileInfoList folders = QDir(path).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::NoSort);
    QCollator collator;
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(folders.begin(), folders.end(), [&collator](const QFileInfo& a, const QFileInfo& b) {
        return collator.compare(a.fileName(), b.fileName()) < 0;
    });

    const QIcon folderIcon = style()->standardIcon(QStyle::SP_DirIcon);
    QList<QTreeWidgetItem*> children;
    children.reserve(folders.size());
    for (const QFileInfo& folder : folders) {
        auto* child = new QTreeWidgetItem({ folder.fileName() });
        child->setData(0, kPathRole, folder.absoluteFilePath());
        child->setIcon(0, folderIcon);
        child->setFlags(child->flags() | Qt::ItemIsEditable);
        child->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
        children << child;
    }
    item->addChildren(children);
    item->setData(0, kFilledRole, true);
    item->setChildIndicatorPolicy(children.isEmpty() ? QTreeWidgetItem::DontShowIndicator
                                                     : QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

void CShellTreeCtrl::RefreshSubItems(QTreeWidgetItem* item)
{
    if (!item) {
        FillTopLevel();
        return;
    }
    setUpdatesEnabled(false);
    qDeleteAll(item->takeChildren());
    item->setData(0, kFilledRole, false);
    Fill(item);
    setUpdatesEnabled(true);
}

void CShellTreeCtrl::SetItemPath(QTreeWidgetItem* item, const QString& path, const QString& label)
{
    item->setText(0, label);
    item->setData(0, kPathRole, path);
    item->setToolTip(0, path);
    if (IsFilled(item)) {
        const bool open = item->isExpanded();
        RefreshSubItems(item);
        item->setExpanded(open);
    }
}

QTreeWidgetItem* CShellTreeCtrl::FindChild(QTreeWidgetItem* item, const QString& label)
{
    if (!item)
        return nullptr;
    for (int i = 0; i < item->childCount(); ++i) {
        if (item->child(i)->text(0) == label)
            return item->child(i);
    }
    return nullptr;
}

bool CShellTreeCtrl::SelectPath(const QString& path)
{
    const QString target = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    // The top-level place that holds the path most closely.
    QTreeWidgetItem* best = nullptr;
    qsizetype bestLength = -1;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        QTreeWidgetItem* place = topLevelItem(i);
        const QString root = PathOf(place);
        const bool inside = target == root || root == QLatin1String("/")
            || target.startsWith(root.endsWith('/') ? root : root + QLatin1Char('/'));
        if (inside && root.size() > bestLength) {
            best = place;
            bestLength = root.size();
        }
    }
    if (!best)
        return false;
    const QString root = PathOf(best);
    const QString rest = target.mid(root.size());
    QTreeWidgetItem* item = best;
    for (const QString& part : rest.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (!IsFilled(item))
            Fill(item);
        QTreeWidgetItem* next = FindChild(item, part);
        if (!next)
            break;
        item->setExpanded(true);
        item = next;
    }
    setCurrentItem(item);
    scrollToItem(item, QAbstractItemView::PositionAtCenter);
    return true;
}

} // namespace kestovar
