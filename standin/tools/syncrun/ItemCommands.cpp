// dump, add-item, edit-item, delete-item, move-item: looking at a folder and changing it as a user would
// in Outlook, so that scenarios and the demo can change folders between runs.
#include <windows.h>
#include <mapitags.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "Commands.h"
#include "PropText.h"
#include "ToolWorld.h"
#include "base/StringTable.h"
#include "config/FolderKind.h"

namespace syncrun {
namespace {

void Say(const std::string& text) {
    const std::string line = text + "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
}

// The message class Outlook gives a new item of a folder's kind.
std::string MessageClassFor(const std::string& containerClass) {
    switch (GetFolderKindBit(containerClass)) {
        case ZxFolderKindCalendar:
            return "IPM.Appointment";
        case ZxFolderKindContact:
            return "IPM.Contact";
        case ZxFolderKindTask:
            return "IPM.Task";
        case ZxFolderKindJournal:
            return "IPM.Activity";
        case ZxFolderKindStickyNote:
            return "IPM.StickyNote";
        default:
            return "IPM.Note";
    }
}

} // namespace

bool ParseChanges(const std::vector<std::string>& args, size_t first, standin::PropMap& out) {
    for (size_t k = first; k < args.size(); ++k) {
        ULONG tag = 0;
        standin::Value value;
        std::string error;
        if (!ParseAssignment(args[k], tag, value, error)) {
            Complain(error);
            return false;
        }
        out[PROP_TAG(value.type == PT_NULL ? PROP_TYPE(tag) : value.type, PROP_ID(tag))] = value;
    }
    return true;
}

namespace {

std::string TextOf(const standin::PropMap& row, std::initializer_list<ULONG> tags) {
    for (ULONG tag : tags) {
        const auto found = row.find(tag);
        if (found != row.end() && !found->second.s.empty()) return found->second.s;
    }
    return std::string();
}

// A recipient as Outlook's address line shows it: "To: Ann <ann@example.com>".
std::string RecipientLine(const standin::PropMap& recipient) {
    const auto type = recipient.find(PR_RECIPIENT_TYPE);
    const LONG kind = type == recipient.end() ? MAPI_TO : static_cast<LONG>(type->second.i);
    const char* label = kind == MAPI_CC ? "Cc" : kind == MAPI_BCC ? "Bcc" : "To";
    const std::string name = TextOf(recipient, {PR_DISPLAY_NAME_A});
    const std::string address = TextOf(recipient, {PR_EMAIL_ADDRESS_A});
    std::string line = std::string("    ") + label + ": " + (name.empty() ? address : name);
    if (!name.empty() && !address.empty()) line += " <" + address + ">";
    return line;
}

// An attachment as the item's attachment bar shows it: its file name and size.
std::string AttachmentLine(const standin::PropMap& attachment) {
    std::string name = TextOf(attachment, {PR_ATTACH_LONG_FILENAME_A, PR_ATTACH_FILENAME_A, PR_DISPLAY_NAME_A});
    if (name.empty()) name = "(no name)";
    const auto data = attachment.find(PR_ATTACH_DATA_BIN);
    const auto size = attachment.find(PR_ATTACH_SIZE);
    const unsigned long bytes = data != attachment.end()   ? static_cast<unsigned long>(data->second.s.size())
                                : size != attachment.end() ? static_cast<unsigned long>(size->second.i)
                                                           : 0ul;
    return "    attachment: " + name + " (" + std::to_string(bytes) + " bytes)";
}

// An item as lines: the subject and modification time, then its other properties by name.
std::vector<std::string> ItemLines(const standin::ItemView& item) {
    std::vector<std::string> props;
    standin::FolderView folder;
    standin::GetFolder(item.folder, &folder);
    for (const auto& [tag, value] : item.props) {
        if (IsBookkeepingProp(folder.store, tag) || PROP_ID(tag) == PROP_ID(PR_SUBJECT_A)) continue;
        props.push_back("    " + NameOfTag(tag) + ": " + FormatValue(value));
    }
    for (const standin::PropMap& recipient : item.recipients) props.push_back(RecipientLine(recipient));
    for (const standin::PropMap& attachment : item.attachments) props.push_back(AttachmentLine(attachment));
    std::sort(props.begin(), props.end());
    props.insert(props.begin(),
                 "  " + FormatValue(standin::Value::String(item.subject)) + "  modified " + FormatTime(item.modified));
    return props;
}

struct FolderAndItem {
    ToolWorld world;
    standin::Bytes folder;
    standin::Bytes item;
};

// Loads the profile and finds the folder (and, when `subject` is given, the item with that subject).
int Locate(const Options& options, const std::string* subject, FolderAndItem& out) {
    if (!LoadProfileOrComplain(out.world, options.profileFile)) return kExitUsage;
    std::string error;
    out.folder = out.world.FindFolder(options.args[0], error);
    if (out.folder.empty()) {
        Complain(error);
        return kExitFailed;
    }
    if (subject) {
        out.item = standin::FindItemBySubject(out.folder, *subject);
        if (out.item.empty()) {
            Complain("no item '" + *subject + "' in '" + options.args[0] + "'");
            return kExitFailed;
        }
    }
    return kExitOk;
}

int SaveWorld(const ToolWorld& world) {
    std::string error;
    if (world.Save(error)) return kExitOk;
    Complain(error);
    return kExitUsage;
}

} // namespace

int Dump(const Options& options) {
    if (options.args.size() != 1) {
        Complain("dump takes one folder path");
        return kExitUsage;
    }
    FolderAndItem where;
    if (int rc = Locate(options, nullptr, where)) return rc;
    // What Outlook shows: items not downloaded yet are only counted.
    std::vector<std::vector<std::string>> items;
    unsigned hidden = 0;
    for (const standin::ItemView& item : standin::Items(where.folder)) {
        if (item.hidden)
            ++hidden;
        else
            items.push_back(ItemLines(item));
    }
    std::sort(items.begin(), items.end());
    Say(ZxFormat("%s: %u item%s", options.args[0].c_str(), static_cast<unsigned>(items.size()),
                 items.size() == 1 ? "" : "s") +
        (hidden ? ZxFormat(" (%u more not downloaded yet)", hidden) : std::string()));
    for (const auto& lines : items)
        for (const std::string& line : lines) Say(line);
    return kExitOk;
}

int AddItem(const Options& options) {
    if (options.args.size() < 2) {
        Complain("add-item takes a folder path, a subject and optional name=value properties");
        return kExitUsage;
    }
    FolderAndItem where;
    if (int rc = Locate(options, nullptr, where)) return rc;
    standin::FolderView folder;
    standin::GetFolder(where.folder, &folder);
    standin::ItemSpec descr;
    descr.subject = options.args[1];
    descr.messageClass = MessageClassFor(folder.containerClass);
    if (!ParseChanges(options.args, 2, descr.props)) return kExitUsage;
    for (auto it = descr.props.begin(); it != descr.props.end();)
        it = it->second.type == PT_NULL ? descr.props.erase(it) : std::next(it);
    if (standin::AddItem(where.folder, descr).empty()) {
        Complain("cannot add an item to '" + options.args[0] + "'");
        return kExitFailed;
    }
    if (int rc = SaveWorld(where.world)) return rc;
    Say("Added '" + descr.subject + "' to '" + options.args[0] + "'.");
    return kExitOk;
}

int EditItem(const Options& options) {
    if (options.args.size() < 2) {
        Complain("edit-item takes a folder path, a subject and name=value properties");
        return kExitUsage;
    }
    FolderAndItem where;
    if (int rc = Locate(options, &options.args[1], where)) return rc;
    standin::PropMap changes;
    if (!ParseChanges(options.args, 2, changes)) return kExitUsage;
    // Like saving the item in Outlook: even an edit that changes nothing moves its modification time.
    if (!standin::EditItem(where.item, changes)) {
        Complain("cannot edit '" + options.args[1] + "'");
        return kExitFailed;
    }
    if (int rc = SaveWorld(where.world)) return rc;
    Say("Edited '" + options.args[1] + "' in '" + options.args[0] + "'.");
    return kExitOk;
}

int DeleteItem(const Options& options) {
    if (options.args.size() != 2) {
        Complain("delete-item takes a folder path and a subject");
        return kExitUsage;
    }
    FolderAndItem where;
    if (int rc = Locate(options, &options.args[1], where)) return rc;
    if (!standin::DeleteItem(where.item)) {
        Complain("cannot delete '" + options.args[1] + "'");
        return kExitFailed;
    }
    if (int rc = SaveWorld(where.world)) return rc;
    Say("Deleted '" + options.args[1] + "' from '" + options.args[0] + "'.");
    return kExitOk;
}

int MoveItem(const Options& options) {
    if (options.args.size() != 3) {
        Complain("move-item takes a folder path, a subject and the folder path to move it to");
        return kExitUsage;
    }
    FolderAndItem where;
    if (int rc = Locate(options, &options.args[1], where)) return rc;
    std::string error;
    const standin::Bytes to = where.world.FindFolder(options.args[2], error);
    if (to.empty()) {
        Complain(error);
        return kExitFailed;
    }
    if (!standin::MoveItem(where.item, to)) {
        Complain("cannot move '" + options.args[1] + "' to '" + options.args[2] + "' (another store?)");
        return kExitFailed;
    }
    if (int rc = SaveWorld(where.world)) return rc;
    Say("Moved '" + options.args[1] + "' from '" + options.args[0] + "' to '" + options.args[2] + "'.");
    return kExitOk;
}

int HideItems(const Options& options) {
    if (options.args.empty()) {
        Complain("hide-items takes a folder path and then all, a number or subjects");
        return kExitUsage;
    }
    FolderAndItem where;
    if (int rc = Locate(options, nullptr, where)) return rc;
    // all (or nothing), the first <number> items in contents-table order, or the items of these subjects.
    std::vector<standin::Bytes> chosen;
    const std::vector<standin::ItemView> items = standin::Items(where.folder);
    const bool one = options.args.size() == 2;
    const std::string& what = one ? options.args[1] : std::string();
    if (options.args.size() == 1 || what == "all") {
        for (const standin::ItemView& item : items) chosen.push_back(item.entryId);
    } else if (one && !what.empty() && what.find_first_not_of("0123456789") == std::string::npos) {
        const size_t n = std::min<size_t>(std::strtoul(what.c_str(), nullptr, 10), items.size());
        for (size_t k = 0; k < n; ++k) chosen.push_back(items[k].entryId);
    } else {
        for (size_t k = 1; k < options.args.size(); ++k) {
            const standin::Bytes item = standin::FindItemBySubject(where.folder, options.args[k]);
            if (item.empty()) {
                Complain("no item '" + options.args[k] + "' in '" + options.args[0] + "'");
                return kExitFailed;
            }
            chosen.push_back(item);
        }
    }
    for (const standin::Bytes& item : chosen) standin::SetItemHidden(item, true);
    if (int rc = SaveWorld(where.world)) return rc;
    Say(ZxFormat("%u items of '%s' are not downloaded yet.", static_cast<unsigned>(chosen.size()),
                 options.args[0].c_str()));
    return kExitOk;
}

int ShowItems(const Options& options) {
    if (options.args.size() != 1) {
        Complain("show-items takes a folder path");
        return kExitUsage;
    }
    FolderAndItem where;
    if (int rc = Locate(options, nullptr, where)) return rc;
    unsigned shown = 0;
    for (const standin::ItemView& item : standin::Items(where.folder))
        if (item.hidden && standin::SetItemHidden(item.entryId, false)) ++shown;
    if (int rc = SaveWorld(where.world)) return rc;
    Say(ZxFormat("%u items of '%s' are downloaded.", shown, options.args[0].c_str()));
    return kExitOk;
}

} // namespace syncrun

namespace syncrun {

// A user attaches a file to an item (its text as the file's content) and saves it.
int AddAttachment(const Options& options) {
    if (options.args.size() < 3 || options.args.size() > 4) {
        Complain("add-attachment takes a folder path, a subject, a file name and optional text");
        return kExitUsage;
    }
    FolderAndItem where;
    if (int rc = Locate(options, &options.args[1], where)) return rc;
    standin::ItemView item;
    standin::GetItem(where.item, &item);
    standin::PropMap attachment;
    attachment[PR_ATTACH_METHOD] = standin::Value::Long(ATTACH_BY_VALUE);
    attachment[PR_ATTACH_LONG_FILENAME_A] = standin::Value::String(options.args[2]);
    attachment[PR_DISPLAY_NAME_A] = standin::Value::String(options.args[2]);
    attachment[PR_ATTACH_DATA_BIN] = standin::Value::Binary(options.args.size() == 4 ? options.args[3] : std::string());
    item.attachments.push_back(attachment);
    // Renumbered by the store, as after Outlook saves the item.
    for (standin::PropMap& a : item.attachments) a.erase(PR_ATTACH_NUM);
    if (!standin::SetItemAttachments(where.item, item.attachments)) {
        Complain("cannot attach to '" + options.args[1] + "'");
        return kExitFailed;
    }
    if (int rc = SaveWorld(where.world)) return rc;
    Say("Attached '" + options.args[2] + "' to '" + options.args[1] + "' in '" + options.args[0] + "'.");
    return kExitOk;
}

// A user removes an attachment (by its file name) from an item and saves it.
int RemoveAttachment(const Options& options) {
    if (options.args.size() != 3) {
        Complain("remove-attachment takes a folder path, a subject and a file name");
        return kExitUsage;
    }
    FolderAndItem where;
    if (int rc = Locate(options, &options.args[1], where)) return rc;
    standin::ItemView item;
    standin::GetItem(where.item, &item);
    std::vector<standin::PropMap> kept;
    for (standin::PropMap& a : item.attachments) {
        if (TextOf(a, {PR_ATTACH_LONG_FILENAME_A, PR_ATTACH_FILENAME_A, PR_DISPLAY_NAME_A}) == options.args[2]) continue;
        a.erase(PR_ATTACH_NUM);
        kept.push_back(a);
    }
    if (kept.size() == item.attachments.size()) {
        Complain("no attachment '" + options.args[2] + "' on '" + options.args[1] + "'");
        return kExitFailed;
    }
    if (!standin::SetItemAttachments(where.item, kept)) {
        Complain("cannot change '" + options.args[1] + "'");
        return kExitFailed;
    }
    if (int rc = SaveWorld(where.world)) return rc;
    Say("Removed '" + options.args[2] + "' from '" + options.args[1] + "' in '" + options.args[0] + "'.");
    return kExitOk;
}

} // namespace syncrun
