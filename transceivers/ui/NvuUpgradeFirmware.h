// "NVU firmware upgrade": a newer firmware file was found for the wide-band
// unit; "Yes" (accepted) replaces the unit's firmware with it.
#pragma once

#include <QDialog>

#include <string>

class CNvuUpgradeFirmware : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kTemplate = 282;
    static constexpr int IDC_CURRENT = 1568;  // the unit's firmware
    static constexpr int IDC_NEW = 1569;      // the file found

    CNvuUpgradeFirmware(const std::string& unitFirmware, const std::string& newFile, QWidget* parent = nullptr);
};
