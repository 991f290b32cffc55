#include "engine/ui/PingerReadyDialog.h"

#include "app/widgets/DialogExchange.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

CPingerReadyDialog::CPingerReadyDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QString::number(kTemplate));
    setWindowTitle("Pinger Ready");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(kText));
    layout->addWidget(widgets::StandardButtons(this, false));
}

void CPingerReadyDialog::done(int result)
{
    QDialog::done(result);
    Q_EMIT closed();
}
