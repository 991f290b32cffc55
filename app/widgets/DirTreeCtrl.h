// A tree of folders (and optionally files), filled level by level as the
// user opens it.
#pragma once

#include <QTreeWidget>

#include <string>

namespace app {

class CDirTreeCtrl : public QTreeWidget
{
    Q_OBJECT
public:
    explicit CDirTreeCtrl(QWidget* parent = nullptr);

    // An empty start path lists the root folder.
    bool DisplayTree(const std::string& startPath, bool showFiles);
    bool SetSelPath(const std::string& path);
    std::string GetFullPath(QTreeWidgetItem* item) const;
    const std::string& LastError() const { return m_error; }

private:
    void Expand(QTreeWidgetItem* item);
    QTreeWidgetItem* AddItem(QTreeWidgetItem* parent, const QString& text, const std::string& path);

    std::string m_error;
    bool m_showFiles = false;
};

}  // namespace app
