// "Pinger Ready" (dialog 244): the sounder has found the pinger and tracks
// it. Modeless; closing it is announced through closed().
#pragma once

#include <QDialog>

class CPingerReadyDialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kTemplate = 244;
    static constexpr const char* kText = "The echosounder is ready to track the pinger";

    explicit CPingerReadyDialog(QWidget* parent = nullptr);

Q_SIGNALS:
    void closed();

protected:
    void done(int result) override;
};
