// Where paper pages go: the one seam between the printing and a printer.
// The program prints on the default printer of the system's print service;
// tests print each page to a PDF file of their own.
#pragma once

#include <QString>

#include <memory>
#include <mutex>
#include <string>

class QPrinter;
class QWidget;

class IPaperPrinter
{
public:
    virtual ~IPaperPrinter() = default;
    // Whether there is a printer to print on.
    virtual bool HasPrinter() const = 0;
    // A printer for one job (one page), null when there is none. Any thread.
    virtual std::unique_ptr<QPrinter> MakePrinter(bool landscape, const std::string& jobName) = 0;
    // The printer set-up dialog; true on OK with the orientation chosen.
    virtual bool RunPageSetup(QWidget* parent, bool& landscape);
};

// The system's default printer.
class CDefaultPaperPrinter final : public IPaperPrinter
{
public:
    bool HasPrinter() const override;
    std::unique_ptr<QPrinter> MakePrinter(bool landscape, const std::string& jobName) override;
};

// Every job a PDF file "<folder>/page-<n>.pdf", n counting from 1.
class CPdfPaperPrinter final : public IPaperPrinter
{
public:
    explicit CPdfPaperPrinter(QString folder) : m_folder(std::move(folder)) {}
    bool HasPrinter() const override { return true; }
    std::unique_ptr<QPrinter> MakePrinter(bool landscape, const std::string& jobName) override;
    int Jobs() const;

private:
    const QString m_folder;
    mutable std::mutex m_lock;
    int m_jobs = 0;
};
