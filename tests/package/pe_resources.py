"""Reads a PE file (32- or 64-bit): its headers, the functions it imports, and
its resources: the version resource, the icon groups with their pictures, the
manifest."""
import struct

RT_ICON = 3
RT_GROUP_ICON = 14
RT_VERSION = 16
RT_MANIFEST = 24


class PeError(Exception):
    pass


def _u16(data, at):
    return struct.unpack_from("<H", data, at)[0]


def _u32(data, at):
    return struct.unpack_from("<I", data, at)[0]


class Layout:
    """The headers of a PE file: its kind, versions, data directories and a
    way from an RVA to a file offset."""

    def __init__(self, data):
        if data[:2] != b"MZ":
            raise PeError("no MZ header")
        pe = _u32(data, 0x3C)
        if data[pe:pe + 4] != b"PE\0\0":
            raise PeError("no PE header")
        self.data = data
        self.sections = _u16(data, pe + 6)
        self.time_stamp = _u32(data, pe + 8)
        optional_size = _u16(data, pe + 20)
        optional = pe + 24
        magic = _u16(data, optional)
        directories = optional + {0x10B: 96, 0x20B: 112}.get(magic, -1)
        if directories < optional:
            raise PeError(f"unknown optional header {magic:#x}")
        self.is64 = magic == 0x20B
        self.image_base = struct.unpack_from("<Q" if self.is64 else "<I", data,
                                             optional + (24 if self.is64 else 28))[0]
        self.os_version = struct.unpack_from("<HH", data, optional + 40)
        self.subsystem_version = struct.unpack_from("<HH", data, optional + 48)
        self.directories = directories
        self.table = optional + optional_size

    def directory(self, index):
        """(RVA, size) of data directory index (1 imports, 2 resources)."""
        return struct.unpack_from("<II", self.data, self.directories + 8 * index)

    def offset_of(self, rva):
        for i in range(self.sections):
            s = self.table + 40 * i
            size, address, raw_size, raw_at = struct.unpack_from("<IIII", self.data, s + 8)
            if address <= rva < address + max(size, raw_size):
                return rva - address + raw_at
        raise PeError(f"RVA {rva:#x} in no section")

    def section_spans(self):
        """(start, end) file offsets of each section's raw data."""
        for i in range(self.sections):
            raw_size, raw_at = struct.unpack_from("<II", self.data, self.table + 40 * i + 16)
            yield raw_at, min(raw_at + raw_size, len(self.data))

    def text_at(self, rva):
        at = self.offset_of(rva)
        return self.data[at:self.data.index(b"\0", at)].decode("latin-1")


def _names(layout, dll_rva, thunks_rva):
    """[(dll, function)] of one descriptor's name table; "#n" for an ordinal."""
    data = layout.data
    dll = layout.text_at(dll_rva)
    width, ordinal = (8, 1 << 63) if layout.is64 else (4, 1 << 31)
    at = layout.offset_of(thunks_rva)
    out = []
    while True:
        thunk = int.from_bytes(data[at:at + width], "little")
        if thunk == 0:
            return out
        out.append((dll, f"#{thunk & 0xFFFF}" if thunk & ordinal else layout.text_at(thunk + 2)))
        at += width


def imports(data):
    """[(dll, function)] the file binds at load (its import table)."""
    layout = Layout(data)
    out = []
    rva, _ = layout.directory(1)
    at = layout.offset_of(rva) if rva else None
    while at is not None:
        lookup, _, _, name, first = struct.unpack_from("<IIIII", data, at)
        if name == 0:
            break
        out += _names(layout, name, lookup or first)
        at += 20
    return out


def delay_imports(data):
    """[(dll, function)] the file would bind on first call through binutils'
    delay-load tables. GNU ld leaves the delay-load directory empty, so the
    descriptors are found by their shape (attributes 1, RVAs of a ".dll" name
    and of a name table, the last three fields zero)."""
    layout = Layout(data)
    out = []
    for start, end in layout.section_spans():
        for at in range(start, end - 31, 4):
            attributes, name, _, table, lookup, bound, unload, stamp = \
                struct.unpack_from("<8I", data, at)
            if attributes != 1 or bound or unload or stamp or not (name and table and lookup):
                continue
            try:
                if not layout.text_at(name).lower().endswith(".dll"):
                    continue
                out += _names(layout, name, lookup)
            except (PeError, ValueError, UnicodeDecodeError):
                continue
    return out


def resources(data):
    """{type: {name: bytes}} of the first language of each resource; names and
    types are numbers or strings."""
    layout = Layout(data)
    rsrc_rva, _ = layout.directory(2)
    if rsrc_rva == 0:
        return {}
    offset_of = layout.offset_of
    root = offset_of(rsrc_rva)

    def name_of(entry):
        value = _u32(data, entry)
        if value & 0x80000000:
            at = root + (value & 0x7FFFFFFF)
            length = _u16(data, at)
            return data[at + 2:at + 2 + 2 * length].decode("utf-16-le")
        return value

    def entries(directory):
        count = _u16(data, directory + 12) + _u16(data, directory + 14)
        for i in range(count):
            entry = directory + 16 + 8 * i
            target = _u32(data, entry + 4)
            yield name_of(entry), target

    out = {}
    for kind, kind_target in entries(root):
        names = out.setdefault(kind, {})
        for name, name_target in entries(root + (kind_target & 0x7FFFFFFF)):
            languages = list(entries(root + (name_target & 0x7FFFFFFF)))
            if not languages:
                continue
            leaf = root + (languages[0][1] & 0x7FFFFFFF)
            rva, size = struct.unpack_from("<II", data, leaf)
            at = offset_of(rva)
            names[name] = data[at:at + size]
    return out


def _align4(n):
    return (n + 3) & ~3


def _block(data, at):
    """One VS_VERSIONINFO-style block: (key, value bytes, children, end)."""
    length, value_length, kind = struct.unpack_from("<HHH", data, at)
    end = at + length
    key_at = at + 6
    key_end = key_at
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = data[key_at:key_end].decode("utf-16-le")
    value_at = _align4(key_end + 2)
    value_bytes = value_length * 2 if kind == 1 else value_length
    value = data[value_at:value_at + value_bytes]
    children = []
    child = _align4(value_at + value_bytes)
    while child < end:
        parsed = _block(data, child)
        children.append(parsed)
        child = _align4(parsed[3])
    return key, value, children, end


def version_info(block):
    """{"FileVersion": (a, b, c, d), "ProductVersion": ..., "strings": {...}}"""
    key, value, children, _ = _block(block, 0)
    if key != "VS_VERSION_INFO" or len(value) < 52 or _u32(value, 0) != 0xFEEF04BD:
        raise PeError("not a version resource")
    file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<IIII", value, 8)
    info = {
        "FileVersion": (file_ms >> 16, file_ms & 0xFFFF, file_ls >> 16, file_ls & 0xFFFF),
        "ProductVersion": (product_ms >> 16, product_ms & 0xFFFF,
                           product_ls >> 16, product_ls & 0xFFFF),
        "strings": {},
    }
    for child_key, _, tables, _ in children:
        if child_key != "StringFileInfo":
            continue
        for _, _, strings, _ in tables:
            for name, text, _, _ in strings:
                info["strings"][name] = text.decode("utf-16-le").rstrip("\0")
    return info


def icon_groups(found):
    """[[(width, height, bits, picture width, picture height)] per icon group]:
    the sizes a group announces and those of the pictures it points to."""
    groups = []
    pictures = found.get(RT_ICON, {})
    for _, group in sorted(found.get(RT_GROUP_ICON, {}).items(), key=lambda kv: str(kv[0])):
        count = _u16(group, 4)
        sizes = []
        for i in range(count):
            width, height, _, _, _, bits, _, ident = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i)
            picture = pictures.get(ident)
            if picture is None:
                raise PeError(f"icon group names missing picture {ident}")
            if picture[:8] == b"\x89PNG\r\n\x1a\n":
                shown_w, shown_h = struct.unpack_from(">II", picture, 16)
            else:
                shown_w, shown_h = struct.unpack_from("<ii", picture, 4)
                shown_h //= 2  # colour rows and mask rows
            sizes.append((width or 256, height or 256, bits, shown_w, shown_h))
        groups.append(sizes)
    return groups


def report(results):
    """Prints each program's problems, or "ok", from (path, problems) pairs;
    the exit code is 1 when any program has a problem."""
    failed = False
    for path, found in results:
        for problem in found:
            print(f"{path}: {problem}")
            failed = True
        if not found:
            print(f"ok: {path}")
    return 1 if failed else 0
