#pragma once
// What both options pages do with the pairs, without their windows: the working copy of the stored
// pairs, which of them get a row and with which image, which row is selected after a removal, and saving.
#include <string>

#include "config/AssocsContainer.h"
#include "mapi/Session.h"

class CPairList {
public:
    // Loads the profile's settings (which drops the pairs of a reinstalled shared-folders store and tells
    // the user), opens the pairs' folders (refreshing their names) and copies the pairs.
    void Load(const ZxIMAPISession& session);

    // Replaces the whole stored list with the working one, on top of what the file holds now. False when
    // the file could not be written (the failure is in the log).
    bool Save() const;
    // Save, and when the file could not be written, tell the user so with its path.
    bool SaveOrTell() const;

    const CAssocsContainer& GetPairs() const { return m_pairs; }
    void Append(const CRefCountPtr<CAssocDesc>& pair) { m_pairs.push_back(pair); }
    // Removes every entry that holds this pair.
    void Remove(const CAssocDesc* pair);
    const std::string& GetProfileName() const { return m_profileName; }
    void SetProfileName(const std::string& name) { m_profileName = name; }

    // A pair gets a row only when both its folders have a name.
    static bool HasRow(const CAssocDesc& pair);
    // Bitmap number of the folder image set for a row: by the kind of folder 1.
    static int GetRowImageId(const CAssocDesc& pair);
    // The row to select after row `removed` went and `rowsLeft` stay: the one before it, the first when
    // the first went; -1 when no row is left.
    static int GetRowAfterRemoval(int removed, int rowsLeft);

private:
    std::string m_profileName;
    CAssocsContainer m_pairs;
};
