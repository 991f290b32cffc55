#include "app/widgets/DirTreeCtrl.h"

#include <QApplication>
#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>

namespace app {

namespace {
constexpr int kPathRole = Qt::UserRole + 1;
constexpr const char* kPlaceholder = "";
}  // namespace

CDirTreeCtrl::CDirTreeCtrl(QWidget* parent) : QTreeWidget(parent)
{
    setHeaderHidden(true);
    setObjectName("control_1000");
    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) { Expand(item); });
}

QTreeWidgetItem* CDirTreeCtrl::AddItem(QTreeWidgetItem* parent, const QString& text, const std::string& path)
{
    QFileIconProvider icons;
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
    item->setText(0, text);
    item->setData(0, kPathRole, QString::fromStdString(path));
    item->setIcon(0, icons.icon(QFileInfo(QString::fromStdString(path))));
    // A folder with something inside gets a placeholder child so that it
    // can be opened.
    QDir dir(QString::fromStdString(path));
    QDir::Filters filter = QDir::Dirs | QDir::NoDotAndDotDot;
    if (m_showFiles)
        filter |= QDir::Files;
    if (QFileInfo(QString::fromStdString(path)).isDir() && !dir.entryList(filter).isEmpty())
        new QTreeWidgetItem(item, QStringList(kPlaceholder));
    return item;
}

bool CDirTreeCtrl::DisplayTree(const std::string& startPath, bool showFiles)
{
    clear();
    m_showFiles = showFiles;
    const std::string root = startPath.empty() ? std::string("/") : startPath;
    if (!QFileInfo(QString::fromStdString(root)).isDir()) {
        m_error = "Cannot list " + root;
        return false;
    }
    AddItem(nullptr, QString::fromStdString(root), root);
    return true;
}

void CDirTreeCtrl::Expand(QTreeWidgetItem* item)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    setUpdatesEnabled(false);
    qDeleteAll(item->takeChildren());
    const QString path = item->data(0, kPathRole).toString();
    QDir dir(path);
    for (const QString& name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase))
        AddItem(item, name, dir.filePath(name).toStdString());
    if (m_showFiles)
        for (const QString& name : dir.entryList(QDir::Files, QDir::Name | QDir::IgnoreCase))
            AddItem(item, name, dir.filePath(name).toStdString());
    setUpdatesEnabled(true);
    QApplication::restoreOverrideCursor();
}

std::string CDirTreeCtrl::GetFullPath(QTreeWidgetItem* item) const
{
    if (!item)
        return {};
    std::string path = item->data(0, kPathRole).toString().toStdString();
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

bool CDirTreeCtrl::SetSelPath(const std::string& path)
{
    const QString target = QDir::cleanPath(QString::fromStdString(path));
    QTreeWidgetItem* item = topLevelItemCount() > 0 ? topLevelItem(0) : nullptr;
    QTreeWidgetItem* found = nullptr;
    while (item) {
        const QString itemPath = QDir::cleanPath(item->data(0, kPathRole).toString());
        if (!target.startsWith(itemPath))
            break;
        found = item;
        if (itemPath == target)
            break;
        item->setExpanded(true);
        QTreeWidgetItem* next = nullptr;
        for (int i = 0; i < item->childCount(); ++i) {
            const QString child = QDir::cleanPath(item->child(i)->data(0, kPathRole).toString());
            if (!child.isEmpty() && (target == child || target.startsWith(child + "/"))) {
                next = item->child(i);
                break;
            }
        }
        item = next;
    }
    if (found)
        setCurrentItem(found);
    return found != nullptr;
}

}  // namespace app
