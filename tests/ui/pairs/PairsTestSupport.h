#pragma once
// What the picker, pair dialog and options page tests share: a stand-in profile of a personal folders
// file, a mailbox and public folders; the add-in's data folder in a temporary folder; the Polish texts of
// the picker's failures as the add-in shows them.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "Standin.h"
#include "base/Paths.h"
#include "config/ConfigTestSupport.h"
#include "mapi/MAPITags.h"

// Wide text in the ANSI code page, as the add-in's 8-bit texts are.
inline std::string AnsiOf(const wchar_t* text) {
    char buffer[512] = {};
    WideCharToMultiByte(CP_ACP, 0, text, -1, buffer, sizeof buffer, nullptr, nullptr);
    return buffer;
}

class PairsTest : public ConfigMapiTest {
protected:
    void SetUp() override {
        ConfigMapiTest::SetUp();
        m_previousDataFolder = SetAddinDataFolderOverride(m_temp.Path());
    }
    void TearDown() override {
        SetAddinDataFolderOverride(m_previousDataFolder);
        ConfigMapiTest::TearDown();
    }

    static ZxIMAPISession Session() { return NewSession(); }

    // "Personal Folders" (default, with the standard folders and a subfolder "Calendar\Team"), "Mailbox -
    // Ann Smith" (another provider) and "Public Folders" (Exchange public folders).
    void MakeProfile() {
        standin::StoreSpec pst;
        pst.displayName = "Personal Folders";
        pst.isDefault = true;
        m_pst = standin::AddStore(pst);
        standin::AddFolder(standin::FolderByPath("Personal Folders\\Calendar"), "Team", "IPF.Appointment");

        standin::StoreSpec mailbox;
        mailbox.displayName = "Mailbox - Ann Smith";
        mailbox.kind = standin::ProviderKind::Other;
        mailbox.subtreeName = "Top of Information Store";
        m_mailbox = standin::AddStore(mailbox);

        standin::StoreSpec pub;
        pub.displayName = "Public Folders";
        pub.kind = standin::ProviderKind::ExchangePublic;
        pub.subtreeName = "IPM_SUBTREE";
        m_public = standin::AddStore(pub);
        standin::AddFolder(standin::FolderByPath("Public Folders\\All Public Folders"), "Projects", "IPF.Contact");
    }

    standin::Bytes m_pst, m_mailbox, m_public;

private:
    std::string m_previousDataFolder;
};
