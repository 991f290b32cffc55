// Asks for a curve's title.
#pragma once

#include <QDialog>

class QLineEdit;

class CTitlePrompt : public QDialog
{
public:
    CTitlePrompt(const QString& title, QWidget* parent);

    QString GetTitle() const;

private:
    QLineEdit* m_field;
};
