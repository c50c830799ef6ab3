#pragma once
// A folder of the stand-in profile, its contents table and a state cache, ready to be scanned.
#include <wrl/client.h>

#include <cstdio>
#include <functional>
#include <stdexcept>
#include <vector>
#include <string>

#include "EngineTestSupport.h"
#include "engine/FolderCache.h"
#include "engine/FolderTableWalker.h"

class ScanFixture : public EngineFixture {
protected:
    static constexpr const char* kFolderName = "Personal Folders\\Calendar";

    void SetUp() override {
        EngineFixture::SetUp();
        BuildWorld();
    }
    // A fresh profile with one store, and an empty cache without file.
    void BuildWorld() {
        standin::Reset("Outlook");
        standin::StoreSpec descr;
        descr.isDefault = true;
        standin::AddStore(descr);
        m_folderId = standin::FolderByPath(kFolderName);
        ASSERT_FALSE(m_folderId.empty());
        DeleteFileA((m_data / "scan.cache").c_str());
        m_cache = CRefCountPtr<CFolderCache>(new CFolderCache(m_data / "scan.cache"));
    }
    // For tables of cases: drops everything of the previous case and starts again.
    void Restart() {
        ReleaseMapi();
        BuildWorld();
    }
    void ReleaseMapi() override {
        m_table.Reset();
        m_folder.Reset();
        m_session.Reset();
        m_cache.Reset();
    }

    // Opens the folder and takes its contents table (a snapshot of the items as they are now).
    void OpenTable() {
        m_session = NewSession();
        m_folder = OpenFolder(m_session, m_folderId);
        m_table.Reset();
        ASSERT_EQ(S_OK, m_folder->GetContentsTable(0, m_table.GetAddressOf()));
    }

    // What a previous run left: every current item in the cache with its current time, saved.
    void PrimeCache() {
        int n = 0;
        for (const standin::ItemView& item : standin::Items(m_folderId))
            m_cache->AddItem(CRefCountPtr<CCacheItem>(
                new CCacheItem(Zx(item.entryId), Zx(item.recordKey), item.modified, PairId(n++))));
        ASSERT_TRUE(m_cache->Save());
    }

    static std::string PairId(int n) {
        char text[64];
        std::snprintf(text, sizeof text, "{%08X-0000-0000-0000-000000000000}", n);
        return text;
    }

    standin::Bytes m_folderId;
    ZxIMAPISession m_session;
    ZxIMAPIFolder m_folder;
    Microsoft::WRL::ComPtr<IMAPITable> m_table;
    CRefCountPtr<CFolderCache> m_cache;
};

// A scanner that also records how rows arrive: the number of QueryRows calls made before each row,
// and how often the walk ended. Optionally stops or throws at a given row.
class RecordingWalker : public CFolderTableWalker {
public:
    using CFolderTableWalker::CFolderTableWalker;
    bool OnRowFetched(const SRow& row) override {
        ++rows;
        batchOfRow.push_back(standin::CallCount("IMAPITable::QueryRows"));
        if (throwAtRow == rows) throw std::runtime_error("row failure");
        const bool goOn = CFolderTableWalker::OnRowFetched(row);
        return stopAtRow == rows ? false : goOn;
    }
    void OnTableEnd() override {
        ++tableEnds;
        CFolderTableWalker::OnTableEnd();
    }
    int rows = 0;
    int tableEnds = 0;
    int stopAtRow = -1;
    int throwAtRow = -1;
    std::vector<long> batchOfRow;
};
