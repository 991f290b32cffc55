// "HXU Transceiver Software Mismatch": an HXU unit runs other software than
// the file beside the program holds; "Yes" (accepted) downloads the file's.
#pragma once

#include <QDialog>

#include <string>

class CHXUReprogramDialog : public QDialog
{
    Q_OBJECT
public:
    CHXUReprogramDialog(const std::string& transceiverName, const std::string& unitVersion,
                        const std::string& fileVersion, QWidget* parent = nullptr);
};
