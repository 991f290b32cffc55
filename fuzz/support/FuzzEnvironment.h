// What every fuzz target runs in, set up once per process: the registry
// hives, the settings folder, the data root and the event log in a private
// temporary folder, and message boxes answered at once without a word.
//
// A target asks for it at the top of each input:
//
//   extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
//   {
//       CFuzzEnvironment::Get();
//       ...
//   }
#pragma once

#include "base/SettingsFolder.h"

#include <string>

class CFuzzEnvironment
{
public:
    static CFuzzEnvironment& Get();

    // A private folder that lives as long as the process.
    const std::string& Folder() const { return m_folder; }
    // The settings folder within it.
    const CSettingsFolder& SettingsFolder() const { return m_settingsFolder; }

    // Every hive starts empty and stays in memory: nothing an input writes
    // reaches the disk or the next input.
    void FreshHivesInMemory();

    // An empty folder that the hives' files ("user.db", "machine.db",
    // "classes.db") are taken from, for the target that reads damaged hives;
    // the store forgets every hive it had open.
    std::string FreshHiveFolder();

    // Forgets the message boxes shown so far.
    void ForgetMessageBoxes();

private:
    CFuzzEnvironment();
    ~CFuzzEnvironment();
    CFuzzEnvironment(const CFuzzEnvironment&) = delete;
    CFuzzEnvironment& operator=(const CFuzzEnvironment&) = delete;

    void PointHivesAt(const std::string& folder);

    std::string m_folder;
    CSettingsFolder m_settingsFolder;
};
