// FakePlatform: paths, the in-memory file system, shell file operations and disks.
#include <algorithm>
#include <cctype>

#include "tests/support/fake_state.h"

namespace common::fake {

unsigned char Upper1252(unsigned char c) {
    if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 32);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 32);
    switch (c) {
        case 0x9A: return 0x8A;  // s caron
        case 0x9C: return 0x8C;  // oe
        case 0x9E: return 0x8E;  // z caron
        case 0xFF: return 0x9F;  // y diaeresis
        default: return c;
    }
}

unsigned char Lower1252(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 32);
    switch (c) {
        case 0x8A: return 0x9A;
        case 0x8C: return 0x9C;
        case 0x8E: return 0x9E;
        case 0x9F: return 0xFF;
        default: return c;
    }
}

std::string Upper(std::string text) {
    for (auto& ch : text) ch = static_cast<char>(Upper1252(static_cast<unsigned char>(ch)));
    return text;
}

bool SameNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Upper1252(static_cast<unsigned char>(a[i])) !=
            Upper1252(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

static bool IsBadNameChar(unsigned char c) {
    return c < 32 || c == '<' || c == '>' || c == ':' || c == '"' || c == '|' || c == '?' ||
           c == '*';
}

std::string NormalizePath(const std::string& in, const std::string& current) {
    std::string p = in;
    std::replace(p.begin(), p.end(), '/', '\\');
    if (p.empty()) return "";
    if (p.rfind("\\\\?\\", 0) == 0) p = p.substr(4);
    std::string root, rest;
    if (p.size() >= 2 && std::isalpha(static_cast<unsigned char>(p[0])) && p[1] == ':') {
        root = std::string(1, p[0]) + ":\\";
        rest = p.substr(2);
        if (rest.empty() || rest[0] != '\\') {
            // Drive-relative: from the current folder when it is on that drive.
            std::string cur = current.empty() ? "" : NormalizePath(current, "");
            if (!cur.empty() && SameNoCase(RootOf(cur), root))
                return NormalizePath(JoinPath(cur, rest), "");
            rest = "\\" + rest;
        }
    } else if (p.rfind("\\\\", 0) == 0) {
        std::size_t s1 = p.find('\\', 2);
        if (s1 == std::string::npos) return "";
        std::size_t s2 = p.find('\\', s1 + 1);
        std::string server = p.substr(2, s1 - 2);
        std::string share =
            p.substr(s1 + 1, s2 == std::string::npos ? std::string::npos : s2 - s1 - 1);
        if (server.empty() || share.empty()) return "";
        root = "\\\\" + server + "\\" + share + "\\";
        rest = s2 == std::string::npos ? "" : p.substr(s2);
    } else {
        std::string cur = current.empty() ? "" : NormalizePath(current, "");
        if (cur.empty()) return "";
        if (p[0] == '\\') {
            root = RootOf(cur);
            rest = p;
        } else {
            return NormalizePath(JoinPath(cur, p), "");
        }
    }
    std::vector<std::string> parts;
    std::size_t i = 0;
    while (i <= rest.size()) {
        std::size_t next = rest.find('\\', i);
        if (next == std::string::npos) next = rest.size();
        std::string comp = rest.substr(i, next - i);
        i = next + 1;
        if (comp.empty() || comp == ".") continue;
        if (comp == "..") {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        while (!comp.empty() && (comp.back() == '.' || comp.back() == ' ')) comp.pop_back();
        if (comp.empty()) continue;
        for (unsigned char c : comp)
            if (IsBadNameChar(c)) return "";
        parts.push_back(comp);
    }
    std::string out = root;
    for (std::size_t k = 0; k < parts.size(); ++k) {
        if (k) out += '\\';
        out += parts[k];
    }
    return out;
}

std::string RootOf(const std::string& n) {
    if (n.rfind("\\\\", 0) == 0) {
        std::size_t s1 = n.find('\\', 2);
        if (s1 == std::string::npos) return n;
        std::size_t s2 = n.find('\\', s1 + 1);
        return s2 == std::string::npos ? n + "\\" : n.substr(0, s2 + 1);
    }
    return n.substr(0, std::min<std::size_t>(3, n.size()));
}

bool IsRoot(const std::string& n) { return !n.empty() && n == RootOf(n); }

std::string ParentOf(const std::string& n) {
    if (n.empty() || IsRoot(n)) return "";
    std::string root = RootOf(n);
    std::size_t pos = n.rfind('\\');
    if (pos == std::string::npos || pos + 1 <= root.size()) return root;
    return n.substr(0, pos);
}

std::string NameOf(const std::string& n) {
    if (n.empty() || IsRoot(n)) return "";
    std::size_t pos = n.find_last_of("\\/");
    return pos == std::string::npos ? n : n.substr(pos + 1);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    char last = folder.back();
    return (last == '\\' || last == '/') ? folder + name : folder + "\\" + name;
}

bool HasWildcard(const std::string& text) {
    return text.find_first_of("*?") != std::string::npos;
}

static bool Glob(const std::string& mask, const std::string& name) {
    std::size_t m = 0, n = 0, starM = std::string::npos, starN = 0;
    while (n < name.size()) {
        if (m < mask.size() && mask[m] == '*') {
            starM = m++;
            starN = n;
        } else if (m < mask.size() &&
                   (mask[m] == '?' || Upper1252(static_cast<unsigned char>(mask[m])) ==
                                          Upper1252(static_cast<unsigned char>(name[n])))) {
            ++m;
            ++n;
        } else if (starM != std::string::npos) {
            m = starM + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*') ++m;
    return m == mask.size();
}

bool MaskMatches(const std::string& mask, const std::string& name) {
    if (mask == "*.*" || mask == "*") return true;
    if (Glob(mask, name)) return true;
    // "name.*" also finds "name" without an extension.
    if (mask.size() > 2 && mask.compare(mask.size() - 2, 2, ".*") == 0)
        return Glob(mask.substr(0, mask.size() - 2), name);
    return false;
}

}  // namespace common::fake

namespace common {

using fake::NameOf;
using fake::ParentOf;
using fake::RootOf;
using fake::Upper;
using Node = FakePlatform::State::Node;

namespace {

std::string ChildPrefix(const std::string& key) {
    return (!key.empty() && key.back() == '\\') ? key : key + "\\";
}

// Win32 error codes the fake reports through the shell operation.
constexpr int kPathNotFound = 3, kAccessDenied = 5, kWriteFault = 29, kSharing = 32,
              kFileNotFound = 2, kDiskFull = 112, kAlreadyExists = 183, kInvalidName = 123;
constexpr int kDeInvalidFiles = 0x7C, kDeSameFile = 0x71, kDeDestSubtree = 0x76;

}  // namespace

// --- state helpers ---

Node* FakePlatform::State::Find(const std::string& n) {
    if (n.empty()) return nullptr;
    auto it = nodes.find(Upper(n));
    return it == nodes.end() ? nullptr : &it->second;
}

const Node* FakePlatform::State::Find(const std::string& n) const {
    if (n.empty()) return nullptr;
    auto it = nodes.find(Upper(n));
    return it == nodes.end() ? nullptr : &it->second;
}

FakePlatform::State::Drive* FakePlatform::State::DriveOf(const std::string& n) {
    if (n.empty()) return nullptr;
    auto it = drives.find(Upper(RootOf(n)));
    return it == drives.end() ? nullptr : &it->second;
}

void FakePlatform::State::EnsureDrive(const std::string& root) {
    std::string key = Upper(root);
    if (!drives.count(key)) {
        Drive d;
        d.root = root;
        d.type = root.rfind("\\\\", 0) == 0 ? drive_type::Remote : drive_type::Fixed;
        d.freeBytes = kDefaultFreeSpace;
        drives[key] = d;
    }
    if (!nodes.count(key)) {
        Node node;
        node.path = root;
        node.folder = true;
        node.created = ++createdSeq;
        nodes[key] = node;
    }
}

void FakePlatform::State::MakeFolders(const std::string& n) {
    if (n.empty()) return;
    if (fake::IsRoot(n)) {
        EnsureDrive(n);
        return;
    }
    MakeFolders(ParentOf(n));
    if (!Find(n)) {
        Node node;
        node.path = n;
        node.folder = true;
        node.created = ++createdSeq;
        nodes[Upper(n)] = node;
    }
}

bool FakePlatform::State::WriteBlocked(const std::string& n) const {
    if (failAllWrites || failWrites.count(Upper(n)) > 0) return true;
    for (std::string at = n; !at.empty(); at = ParentOf(at))
        if (writeProtected.count(Upper(at)) > 0) return true;
    return false;
}

int FakePlatform::State::PutFile(const std::string& n, const std::string& content) {
    if (n.empty() || fake::IsRoot(n)) return kInvalidName;
    if (WriteBlocked(n)) return kWriteFault;
    Node* node = Find(n);
    std::uint64_t oldSize = 0;
    if (node) {
        if (node->folder || node->readOnly) return kAccessDenied;
        if (node->locked) return kSharing;
        oldSize = node->content.size();
    } else {
        const Node* parent = Find(ParentOf(n));
        if (!parent || !parent->folder) return kPathNotFound;
    }
    Drive* drive = DriveOf(n);
    if (drive && drive->freeBytes) {
        if (content.size() > oldSize) {
            std::uint64_t grow = content.size() - oldSize;
            if (grow > *drive->freeBytes) return kDiskFull;
            *drive->freeBytes -= grow;
        } else {
            *drive->freeBytes += oldSize - content.size();
        }
    }
    if (node) {
        node->content = content;
        node->written = FileTime();
    } else {
        Node fresh;
        fresh.path = n;
        fresh.content = content;
        fresh.created = ++createdSeq;
        fresh.written = FileTime();
        nodes[Upper(n)] = fresh;
    }
    return 0;
}

void FakePlatform::State::EraseTree(const std::string& n) {
    if (n.empty()) return;
    std::string key = Upper(n);
    std::string prefix = ChildPrefix(key);
    Drive* drive = DriveOf(n);
    std::vector<std::string> doomed;
    if (nodes.count(key) && !fake::IsRoot(n)) doomed.push_back(key);
    for (auto it = nodes.lower_bound(prefix); it != nodes.end() && it->first.rfind(prefix, 0) == 0;
         ++it)
        doomed.push_back(it->first);
    for (const auto& k : doomed) {
        if (drive && drive->freeBytes) *drive->freeBytes += nodes[k].content.size();
        nodes.erase(k);
    }
}

std::vector<const Node*> FakePlatform::State::ChildrenOf(const std::string& n) const {
    std::vector<const Node*> out;
    if (n.empty()) return out;
    std::string prefix = ChildPrefix(Upper(n));
    for (auto it = nodes.lower_bound(prefix); it != nodes.end() && it->first.rfind(prefix, 0) == 0;
         ++it) {
        if (it->first.find('\\', prefix.size()) == std::string::npos) out.push_back(&it->second);
    }
    if (findOrder == FindOrder::Creation) {
        std::sort(out.begin(), out.end(),
                  [](const Node* a, const Node* b) { return a->created < b->created; });
    } else {
        std::sort(out.begin(), out.end(), [](const Node* a, const Node* b) {
            return Upper(NameOf(a->path)) < Upper(NameOf(b->path));
        });
    }
    return out;
}

void FakePlatform::State::Rename(const std::string& from, const std::string& to) {
    std::string key = Upper(from);
    std::string prefix = ChildPrefix(key);
    std::vector<Node> moved;
    std::vector<std::string> keys;
    for (auto it = nodes.begin(); it != nodes.end(); ++it) {
        if (it->first == key || it->first.rfind(prefix, 0) == 0) {
            Node node = it->second;
            node.path = to + node.path.substr(from.size());
            moved.push_back(node);
            keys.push_back(it->first);
        }
    }
    for (const auto& k : keys) nodes.erase(k);
    for (const auto& node : moved) nodes[Upper(node.path)] = node;
}

void FakePlatform::State::LogFile(const std::string& op, const std::string& path,
                                  const std::string& path2, bool ok) {
    fileOps.push_back({op, path, path2, ok, Tick()});
}

// --- scripting ---

void FakePlatform::AddDrive(const std::string& root, int driveType, std::uint64_t freeBytes) {
    std::string r = RootOf(s_->Norm(root));
    if (r.empty()) return;
    s_->EnsureDrive(r);
    auto& d = s_->drives[Upper(r)];
    d.type = driveType;
    d.freeBytes = freeBytes;
}

void FakePlatform::SetFreeSpace(const std::string& root, std::uint64_t freeBytes) {
    std::string r = RootOf(s_->Norm(root));
    s_->EnsureDrive(r);
    s_->drives[Upper(r)].freeBytes = freeBytes;
}

void FakePlatform::SetFreeSpaceUnknown(const std::string& root) {
    std::string r = RootOf(s_->Norm(root));
    s_->EnsureDrive(r);
    s_->drives[Upper(r)].freeBytes.reset();
}

void FakePlatform::SetDriveType(const std::string& root, int driveType) {
    std::string r = RootOf(s_->Norm(root));
    s_->EnsureDrive(r);
    s_->drives[Upper(r)].type = driveType;
}

void FakePlatform::AddFolder(const std::string& path) { s_->MakeFolders(s_->Norm(path)); }

void FakePlatform::AddFile(const std::string& path, const std::string& content) {
    std::string n = s_->Norm(path);
    if (n.empty() || fake::IsRoot(n)) return;
    s_->MakeFolders(ParentOf(n));
    Node* node = s_->Find(n);
    if (node && node->folder) s_->EraseTree(n), node = nullptr;
    if (node) {
        node->content = content;
        node->written = s_->FileTime();
        return;
    }
    Node fresh;
    fresh.path = n;
    fresh.content = content;
    fresh.created = ++s_->createdSeq;
    fresh.written = s_->FileTime();
    s_->nodes[Upper(n)] = fresh;
}

bool FakePlatform::SetFileWriteTime(const std::string& path, std::uint64_t fileTime) {
    Node* node = s_->Find(s_->Norm(path));
    if (!node || node->folder) return false;
    node->written = fileTime;
    return true;
}

bool FakePlatform::HasFile(const std::string& path) const {
    const Node* n = s_->Find(s_->Norm(path));
    return n && !n->folder;
}

bool FakePlatform::HasFolder(const std::string& path) const {
    const Node* n = s_->Find(s_->Norm(path));
    return n && n->folder;
}

std::optional<std::string> FakePlatform::FileText(const std::string& path) const {
    const Node* n = s_->Find(s_->Norm(path));
    if (!n || n->folder) return std::nullopt;
    return n->content;
}

std::optional<std::string> FakePlatform::StoredPath(const std::string& path) const {
    const Node* n = s_->Find(s_->Norm(path));
    if (!n) return std::nullopt;
    return n->path;
}

void FakePlatform::SetReadOnly(const std::string& path, bool readOnly) {
    if (Node* n = s_->Find(s_->Norm(path))) n->readOnly = readOnly;
}

void FakePlatform::SetLocked(const std::string& path, bool locked) {
    if (Node* n = s_->Find(s_->Norm(path))) n->locked = locked;
}

void FakePlatform::SetUnreadable(const std::string& path, bool unreadable) {
    if (Node* n = s_->Find(s_->Norm(path))) n->unreadable = unreadable;
}

bool FakePlatform::IsHidden(const std::string& path) const {
    const Node* n = s_->Find(s_->Norm(path));
    return n && n->hidden;
}

void FakePlatform::RemovePath(const std::string& path) { s_->EraseTree(s_->Norm(path)); }

std::vector<std::string> FakePlatform::FilesUnder(const std::string& folder) const {
    std::vector<const Node*> found;
    std::string prefix = folder.empty() ? "" : ChildPrefix(Upper(s_->Norm(folder)));
    for (const auto& [key, node] : s_->nodes)
        if (!node.folder && key.rfind(prefix, 0) == 0) found.push_back(&node);
    std::sort(found.begin(), found.end(),
              [](const Node* a, const Node* b) { return Upper(a->path) < Upper(b->path); });
    std::vector<std::string> out;
    for (const Node* n : found) out.push_back(n->path);
    return out;
}

void FakePlatform::FailWritesTo(const std::string& path) {
    s_->failWrites.insert(Upper(s_->Norm(path)));
}
void FakePlatform::StopFailingWritesTo(const std::string& path) {
    s_->failWrites.erase(Upper(s_->Norm(path)));
}
void FakePlatform::FailAllWrites(bool fail) { s_->failAllWrites = fail; }
void FakePlatform::SetWriteProtected(const std::string& folder, bool isProtected) {
    const std::string key = Upper(s_->Norm(folder));
    if (isProtected)
        s_->writeProtected.insert(key);
    else
        s_->writeProtected.erase(key);
}
void FakePlatform::SetFindOrder(FindOrder order) { s_->findOrder = order; }
const std::vector<FakePlatform::FileOp>& FakePlatform::FileOps() const { return s_->fileOps; }

// --- the seam: files and folders ---

bool FakePlatform::FileExists(const std::string& path) { return HasFile(path); }
bool FakePlatform::FolderExists(const std::string& path) { return HasFolder(path); }

std::optional<std::uint64_t> FakePlatform::FileSize(const std::string& path) {
    const Node* n = s_->Find(s_->Norm(path));
    if (!n || n->folder) return std::nullopt;
    return n->content.size();
}

std::optional<std::string> FakePlatform::ReadFile(const std::string& path) {
    const Node* n = s_->Find(s_->Norm(path));
    if (!n || n->folder || n->locked || n->unreadable) return std::nullopt;
    return n->content;
}

// Like CreateFile with CREATE_ALWAYS and normal attributes, an existing
// hidden file cannot be replaced this way.
bool FakePlatform::WriteFile(const std::string& path, const std::string& data) {
    std::string n = s_->Norm(path);
    const Node* existing = s_->Find(n);
    bool ok = !s_->Fault(OpKind::Write, path) && !(existing && existing->hidden) &&
              s_->PutFile(n, data) == 0;
    s_->LogFile("write", path, "", ok);
    return ok;
}

bool FakePlatform::CreateNewFile(const std::string& path, const std::string& data) {
    std::string n = s_->Norm(path);
    bool ok = !s_->Find(n) && !s_->Fault(OpKind::Write, path) && s_->PutFile(n, data) == 0;
    s_->LogFile("create", path, "", ok);
    return ok;
}

bool FakePlatform::AppendFile(const std::string& path, const std::string& data) {
    std::string n = s_->Norm(path);
    const Node* node = s_->Find(n);
    bool ok;
    if (s_->Fault(OpKind::Write, path)) {
        ok = false;
    } else if (node && !node->folder && !node->locked) {
        ok = s_->PutFile(n, node->content + data) == 0;
    } else {
        ok = !node && s_->PutFile(n, data) == 0;
    }
    s_->LogFile("append", path, "", ok);
    return ok;
}

bool FakePlatform::DeleteFile(const std::string& path) {
    std::string n = s_->Norm(path);
    const Node* node = s_->Find(n);
    bool ok = node && !node->folder && !node->readOnly && !node->locked &&
              !s_->WriteBlocked(n) && !s_->Fault(OpKind::Delete, path);
    if (ok) s_->EraseTree(n);
    s_->LogFile("delete", path, "", ok);
    return ok;
}

bool FakePlatform::CopyFile(const std::string& from, const std::string& to, bool failIfExists) {
    std::string src = s_->Norm(from), dst = s_->Norm(to);
    const Node* s = s_->Find(src);
    const Node* d = s_->Find(dst);
    bool ok = s && !s->folder && !s->locked && !s->unreadable && !dst.empty() &&
              Upper(src) != Upper(dst) && !s_->Fault(OpKind::Copy, to);
    // CopyFile refuses to replace a read-only or hidden file.
    if (ok && d) ok = !failIfExists && !d->folder && !d->readOnly && !d->hidden;
    if (ok) {
        bool readOnly = s->readOnly, hidden = s->hidden;
        ok = s_->PutFile(dst, s->content) == 0;
        if (ok) {
            Node* made = s_->Find(dst);
            made->readOnly = readOnly;
            made->hidden = hidden;
        }
    }
    s_->LogFile("copy", from, to, ok);
    return ok;
}

// The link gets the data as it is now: the programs only link a file that is
// replaced by a move afterwards, so no later write reaches both names.
bool FakePlatform::LinkFile(const std::string& existing, const std::string& link) {
    std::string src = s_->Norm(existing), dst = s_->Norm(link);
    const Node* s = s_->Find(src);
    bool ok = s && !s->folder && !s->locked && !dst.empty() && !s_->Find(dst) &&
              !s_->Fault(OpKind::Copy, link);
    if (ok) {
        bool readOnly = s->readOnly, hidden = s->hidden;
        ok = s_->PutFile(dst, s->content) == 0;
        if (ok) {
            Node* made = s_->Find(dst);
            made->readOnly = readOnly;  // one file: one set of attributes
            made->hidden = hidden;
        }
    }
    s_->LogFile("link", existing, link, ok);
    return ok;
}

bool FakePlatform::MoveFile(const std::string& from, const std::string& to, bool replace) {
    std::string src = s_->Norm(from), dst = s_->Norm(to);
    auto done = [&](bool ok) {
        s_->LogFile("move", from, to, ok);
        return ok;
    };
    Node* s = s_->Find(src);
    if (!s || dst.empty() || fake::IsRoot(src) || s_->WriteBlocked(dst) || s_->WriteBlocked(src))
        return done(false);
    if (s_->Fault(OpKind::Move, from)) return done(false);
    std::string srcKey = Upper(src), dstKey = Upper(dst);
    if (s->locked) return done(false);
    if (s->folder) {
        std::string prefix = ChildPrefix(srcKey);
        for (auto it = s_->nodes.lower_bound(prefix);
             it != s_->nodes.end() && it->first.rfind(prefix, 0) == 0; ++it)
            if (it->second.locked) return done(false);
        if (dstKey.rfind(prefix, 0) == 0) return done(false);  // into itself
    }
    if (srcKey == dstKey) {  // a new spelling of the same name
        s_->Rename(src, dst);
        return done(true);
    }
    const Node* parent = s_->Find(ParentOf(dst));
    if (!parent || !parent->folder) return done(false);
    if (const Node* d = s_->Find(dst)) {
        if (!replace || s->folder || d->folder || d->readOnly || d->locked) return done(false);
    }
    bool sameRoot = Upper(RootOf(src)) == Upper(RootOf(dst));
    if (sameRoot) {
        s_->EraseTree(dst);
        s_->Rename(src, dst);
        return done(true);
    }
    if (s->folder) return done(false);  // folders do not move across volumes
    Node copy = *s;
    if (const Node* d = s_->Find(dst)) {
        (void)d;
        s_->EraseTree(dst);
    }
    if (s_->PutFile(dst, copy.content) != 0) return done(false);
    Node* made = s_->Find(dst);
    made->readOnly = copy.readOnly;
    made->hidden = copy.hidden;
    s_->EraseTree(src);
    return done(true);
}

bool FakePlatform::CreateFolder(const std::string& path) {
    std::string n = s_->Norm(path);
    const Node* parent = s_->Find(ParentOf(n));
    bool ok = !n.empty() && !fake::IsRoot(n) && !s_->Find(n) && parent && parent->folder &&
              !s_->WriteBlocked(n) && !s_->Fault(OpKind::CreateFolder, path);
    if (ok) {
        Node node;
        node.path = n;
        node.folder = true;
        node.created = ++s_->createdSeq;
        s_->nodes[Upper(n)] = node;
    }
    s_->LogFile("mkdir", path, "", ok);
    return ok;
}

bool FakePlatform::RemoveFolder(const std::string& path) {
    std::string n = s_->Norm(path);
    const Node* node = s_->Find(n);
    bool ok = node && node->folder && !fake::IsRoot(n) && !node->readOnly &&
              s_->ChildrenOf(n).empty() && !s_->WriteBlocked(n) &&
              !s_->Fault(OpKind::Delete, path);
    if (ok) s_->EraseTree(n);
    s_->LogFile("rmdir", path, "", ok);
    return ok;
}

std::vector<FolderEntry> FakePlatform::FindFiles(const std::string& mask) {
    std::string m = mask;
    std::replace(m.begin(), m.end(), '/', '\\');
    std::string folderPart, pattern;
    std::size_t slash = m.rfind('\\');
    if (slash == std::string::npos) {
        if (m.size() >= 2 && m[1] == ':') {
            folderPart = m.substr(0, 2);
            pattern = m.substr(2);
        } else {
            folderPart = s_->currentFolder;
            pattern = m;
        }
    } else {
        folderPart = m.substr(0, slash + 1);
        pattern = m.substr(slash + 1);
    }
    std::vector<FolderEntry> out;
    if (pattern.empty()) return out;
    std::string folder = s_->Norm(folderPart);
    const Node* f = s_->Find(folder);
    if (!f || !f->folder) return out;
    for (const Node* child : s_->ChildrenOf(folder)) {
        std::string name = NameOf(child->path);
        if (fake::MaskMatches(pattern, name))
            out.push_back({name, child->folder, child->folder ? 0 : child->content.size(),
                           child->written});
    }
    return out;
}

bool FakePlatform::IsReadOnly(const std::string& path) {
    const Node* n = s_->Find(s_->Norm(path));
    return n && n->readOnly;
}

bool FakePlatform::SetHidden(const std::string& path, bool hidden) {
    Node* n = s_->Find(s_->Norm(path));
    if (!n) return false;
    n->hidden = hidden;
    return true;
}

// --- shell file operations ---

namespace {

struct ShellRun {
    FakePlatform::State& s;
    std::optional<std::size_t> failAfter;
    int failCode = 0;
    std::size_t done = 0;

    int BeforeLeaf() const { return (failAfter && done >= *failAfter) ? failCode : 0; }

    int DeleteTree(const std::string& n) {
        Node* node = s.Find(n);
        if (!node) return kFileNotFound;
        if (node->folder) {
            std::vector<std::string> children;
            for (const Node* c : s.ChildrenOf(n)) children.push_back(c->path);
            for (const auto& c : children)
                if (int r = DeleteTree(c)) return r;
            if (fake::IsRoot(n)) return kAccessDenied;
            s.EraseTree(n);
            return 0;
        }
        if (int r = BeforeLeaf()) return r;
        if (node->locked) return kSharing;
        if (s.WriteBlocked(n)) return kWriteFault;
        s.EraseTree(n);
        ++done;
        return 0;
    }

    int CopyTree(const std::string& src, const std::string& dst, bool move) {
        const Node* node = s.Find(src);
        if (!node) return kFileNotFound;
        if (node->folder) {
            const Node* d = s.Find(dst);
            if (d && !d->folder) return kAlreadyExists;
            if (!d) {
                if (s.WriteBlocked(dst)) return kWriteFault;
                s.MakeFolders(dst);
            }
            std::vector<std::string> children;
            for (const Node* c : s.ChildrenOf(src)) children.push_back(c->path);
            for (const auto& c : children)
                if (int r = CopyTree(c, fake::JoinPath(dst, NameOf(c)), move)) return r;
            if (move && s.ChildrenOf(src).empty() && !fake::IsRoot(src)) s.EraseTree(src);
            return 0;
        }
        if (int r = BeforeLeaf()) return r;
        if (node->locked) return kSharing;
        if (const Node* d = s.Find(dst); d && d->folder) return kAlreadyExists;
        Node copy = *node;
        if (int r = s.PutFile(dst, copy.content)) return r;
        Node* made = s.Find(dst);
        made->readOnly = copy.readOnly;
        made->hidden = copy.hidden;
        if (move) s.EraseTree(src);
        ++done;
        return 0;
    }
};

}  // namespace

int FakePlatform::State::ShellOperation(unsigned operation, const std::string& from,
                                        const std::string& to,
                                        std::optional<std::size_t> failAfterItems, int failCode) {
    ShellRun run{*this, failAfterItems, failCode};
    std::string src = from;
    std::replace(src.begin(), src.end(), '/', '\\');
    if (src.empty()) return kDeInvalidFiles;
    std::size_t slash = src.rfind('\\');
    std::string last = slash == std::string::npos ? src : src.substr(slash + 1);
    bool wild = fake::HasWildcard(last);
    std::vector<std::string> items;
    if (wild) {
        std::string folder = Norm(slash == std::string::npos ? currentFolder
                                                             : src.substr(0, slash + 1));
        for (const Node* c : ChildrenOf(folder))
            if (fake::MaskMatches(last, NameOf(c->path))) items.push_back(c->path);
    } else {
        std::string n = Norm(src);
        if (!Find(n)) return kFileNotFound;
        items.push_back(n);
    }

    if (operation == shell_op::Delete) {
        for (const auto& item : items)
            if (int r = run.DeleteTree(item)) return r;
        return 0;
    }
    if (operation == shell_op::Rename) {
        if (wild || items.size() != 1) return kDeInvalidFiles;
        const std::string& item = items.front();
        std::string target = to.find_first_of("\\/") == std::string::npos
                                 ? fake::JoinPath(ParentOf(item), to)
                                 : Norm(to);
        if (target.empty()) return kDeInvalidFiles;
        if (Upper(target) != Upper(item) && Find(target)) return kAlreadyExists;
        if (Find(item)->locked) return kSharing;
        if (WriteBlocked(target)) return kWriteFault;
        Rename(item, target);
        return 0;
    }
    if (operation != shell_op::Copy && operation != shell_op::Move) return kDeInvalidFiles;

    bool move = operation == shell_op::Move;
    std::string dst = Norm(to);
    if (dst.empty()) return kDeInvalidFiles;
    const Node* dstNode = Find(dst);
    bool intoFolder = (dstNode && dstNode->folder) || wild || items.size() > 1;
    if (intoFolder && dstNode && !dstNode->folder) return kDeInvalidFiles;
    if (intoFolder && !dstNode) {
        if (WriteBlocked(dst)) return kWriteFault;
        MakeFolders(dst);
    }
    for (const auto& item : items) {
        std::string target = intoFolder ? fake::JoinPath(dst, NameOf(item)) : dst;
        std::string itemKey = Upper(item), targetKey = Upper(target);
        if (itemKey == targetKey) return kDeSameFile;
        if (targetKey.rfind(ChildPrefix(itemKey), 0) == 0) return kDeDestSubtree;
        if (!intoFolder) MakeFolders(ParentOf(target));
        if (int r = run.CopyTree(item, target, move)) return r;
    }
    return 0;
}

int FakePlatform::ShellFileOperation(WindowId owner, unsigned operation, std::uint16_t flags,
                                     const std::string& from, const std::string& to) {
    ShellOpRecord rec;
    rec.owner = owner;
    rec.operation = operation;
    rec.flags = flags;
    rec.from = from.substr(0, from.find('\0'));
    rec.to = to.substr(0, to.find('\0'));
    auto failure = s_->shellFailure;
    s_->shellFailure.reset();
    const auto kind = operation == shell_op::Copy     ? OpKind::Copy
                      : operation == shell_op::Delete ? OpKind::Delete
                                                      : OpKind::Move;
    if (s_->Fault(kind, rec.from)) failure = State::ShellFailure{std::nullopt, kWriteFault};
    if (failure && !failure->afterItems) {
        rec.result = failure->code;
    } else {
        rec.result = s_->ShellOperation(operation, rec.from, rec.to,
                                        failure ? failure->afterItems : std::nullopt,
                                        failure ? failure->code : 0);
    }
    s_->shellOps.push_back(rec);
    return rec.result;
}

void FakePlatform::FailNextShellOperation(int code) { s_->shellFailure = State::ShellFailure{std::nullopt, code}; }

void FakePlatform::FailNextShellOperationHalfway(std::size_t itemsBeforeFailure, int code) {
    s_->shellFailure = State::ShellFailure{itemsBeforeFailure, code};
}

const std::vector<FakePlatform::ShellOpRecord>& FakePlatform::ShellOperations() const {
    return s_->shellOps;
}

// --- disks ---

std::optional<std::uint64_t> FakePlatform::FreeDiskSpace(const std::string& path) {
    std::string n = s_->Norm(path);
    const Node* node = s_->Find(n);
    if (!node || !node->folder) return std::nullopt;  // the query needs an existing folder
    State::Drive* d = s_->DriveOf(n);
    if (!d) return std::nullopt;
    return d->freeBytes;
}

int FakePlatform::DriveType(const std::string& root) {
    std::string given = root;
    if (given.size() == 2 && given[1] == ':') given += '\\';
    std::string n = s_->Norm(given.empty() ? RootOf(s_->Norm(s_->currentFolder)) : given);
    if (n.empty() || !fake::IsRoot(n)) return drive_type::NoRootDir;
    State::Drive* d = s_->DriveOf(n);
    return d ? d->type : drive_type::NoRootDir;
}

}  // namespace common
