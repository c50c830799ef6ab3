#pragma once
// A stand-in profile with folder pairs, a status window that records what the engine reports (and can
// cancel or fail at a chosen point), and runs of the engine against a temporary data folder.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/EngineTestSupport.h"
#include "support/RecordingStatus.h"
#include "config/AssocDesc.h"
#include "config/AssocsContainer.h"
#include "engine/FolderCacheFactory.h"
#include "engine/StatusWindow.h"
#include "engine/SyncRun.h"
#include "engine/Synchronizer.h"

// One store with folders "Left" and "Right" (and more on request), a pair of them, and runs.
class SyncFixture : public EngineFixture {
protected:
    static constexpr const char* kProfile = "Outlook";
    static constexpr const char* kName1 = "Personal Folders\\Left";
    static constexpr const char* kName2 = "Personal Folders\\Right";

    void SetUp() override {
        EngineFixture::SetUp();
        BuildWorld();
    }
    void ReleaseMapi() override {
        m_pairs.clear();
        m_session.Reset();
    }

    // A fresh profile; the data folder is emptied as well.
    void BuildWorld() {
        ReleaseMapi();
        standin::Reset(kProfile);
        standin::StoreSpec descr;
        descr.isDefault = true;
        descr.standardFolders = false;
        m_store = standin::AddStore(descr);
        m_folder1 = standin::AddFolder(standin::IpmSubtree(m_store), "Left", "IPF.Appointment");
        m_folder2 = standin::AddFolder(standin::IpmSubtree(m_store), "Right", "IPF.Appointment");
        ClearDataFolder();
    }
    void ClearDataFolder() { TempDir::RemoveTree(m_data / "Cache"); }

    standin::Bytes AddFolder(const std::string& name) {
        return standin::AddFolder(standin::IpmSubtree(m_store), name, "IPF.Appointment");
    }

    // A pair of two folders, opened as the Synchronize command opens them; an empty id leaves that
    // folder closed.
    CRefCountPtr<CAssocDesc> MakePair(const standin::Bytes& id1, const std::string& name1, const standin::Bytes& id2,
                                      const std::string& name2) {
        if (m_session.Get() == nullptr) m_session = NewSession();
        CRefCountPtr<CAssocDesc> pair(new CAssocDesc());
        Describe(pair->GetFolder1(), id1, name1);
        Describe(pair->GetFolder2(), id2, name2);
        m_pairs.push_back(pair);
        return pair;
    }
    CRefCountPtr<CAssocDesc> MainPair() { return MakePair(m_folder1, kName1, m_folder2, kName2); }

    // One run of the main pair as the progress window makes it: a fresh factory, its index read,
    // Proceed. Exceptions go to the caller.
    void Proceed(RecordingStatus& status) {
        CRefCountPtr<CFolderCacheFactory> factory(new CFolderCacheFactory(kProfile));
        factory->LoadIndex();
        CSynchronizer(MainPair(), factory, &status).Proceed();
        m_pairs.clear();
    }
    // A run that must succeed; returns its report.
    RecordingStatus CleanRun() {
        RecordingStatus status;
        EXPECT_NO_THROW(Proceed(status));
        return status;
    }
    void RunAll(const CAssocsContainer& pairs, RecordingStatus& status) { RunAllPairs(kProfile, pairs, status); }

    // The cache of folder A relative to folder B as a fresh run would load it.
    CRefCountPtr<CFolderCache> LoadCache(const standin::Bytes& a, const standin::Bytes& b) {
        CRefCountPtr<CFolderCacheFactory> factory(new CFolderCacheFactory(kProfile));
        factory->LoadIndex();
        ZxIMAPISession session = NewSession();
        return factory->GetCache(OpenFolder(session, a), OpenFolder(session, b));
    }
    // Files in the profile's cache folder.
    std::vector<std::string> CacheFiles() const {
        std::vector<std::string> names;
        WIN32_FIND_DATAA data;
        HANDLE find = FindFirstFileA((m_data / "Cache\\Outlook\\*").c_str(), &data);
        if (find == INVALID_HANDLE_VALUE) return names;
        do {
            const std::string name = data.cFileName;
            if (name != "." && name != "..") names.push_back(name);
        } while (FindNextFileA(find, &data));
        FindClose(find);
        return names;
    }

    // Items as a user sees them: subject and body.
    static standin::Bytes Add(const standin::Bytes& folder, const std::string& subject, const std::string& body) {
        return standin::AddItem(folder, subject, {{PR_BODY_A, standin::Value::String(body)}});
    }
    static void Edit(const standin::Bytes& item, const std::string& body) {
        ASSERT_TRUE(standin::EditItem(item, {{PR_BODY_A, standin::Value::String(body)}}));
    }
    static std::string ContentOf(const standin::ItemView& item) {
        const auto body = item.props.find(PR_BODY_A);
        return item.subject + "|" + (body == item.props.end() ? std::string() : body->second.s);
    }
    // Every item's content, duplicates included, in order.
    static std::multiset<std::string> Contents(const standin::Bytes& folder) {
        std::multiset<std::string> contents;
        for (const standin::ItemView& item : standin::Items(folder)) contents.insert(ContentOf(item));
        return contents;
    }
    static std::set<std::string> Distinct(const standin::Bytes& folder) {
        const std::multiset<std::string> all = Contents(folder);
        return std::set<std::string>(all.begin(), all.end());
    }
    static standin::Bytes Find(const standin::Bytes& folder, const std::string& subject) {
        return standin::FindItemBySubject(folder, subject);
    }

    standin::Bytes m_store;
    standin::Bytes m_folder1;
    standin::Bytes m_folder2;
    ZxIMAPISession m_session;
    std::vector<CRefCountPtr<CAssocDesc>> m_pairs;

private:
    void Describe(CFolderDesc& desc, const standin::Bytes& id, const std::string& name) {
        desc.SetFolderName(name);
        if (id.empty()) return;
        desc.SetFolderEntryId(Zx(id));
        desc.SetFolder(OpenFolder(m_session, id));
    }
};
