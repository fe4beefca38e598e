#!/usr/bin/env python3
"""check_archive.py ARCHIVE: checks a release archive (qeloweather-*-win64.zip or -linux-*.tar.gz)
as its user finds it unpacked: the files, line ends, byte-order marks, modes, that every relative
link of the guides and path of README.txt names one of its files, and the exe's PE versions and
manifest. Prints every fault and exits 1 when there is one."""

import posixpath
import re
import struct
import sys
import tarfile
import xml.etree.ElementTree as ET
import zipfile

kTexts = {"LICENSE", "README.txt", "docs/host-guide.md", "docs/host-guide.zh-CN.md"}
kFiles = {True: kTexts | {"qeloweather.exe", "examples/windows/forecast.cmd",
                          "examples/windows/show-ini.js", "examples/windows/host-key.c"},
          False: kTexts | {"qeloweather", "examples/linux/forecast.sh", "examples/linux/host-key.sh"}}
kAsm = "{urn:schemas-microsoft-com:asm.v%d}"
kSmi = "{http://schemas.microsoft.com/SMI/%d/WindowsSettings}"
kManifest = [  # (element, attribute or None for its text, value)
    (kAsm % 1 + "assemblyIdentity", "name", "Microsoft.Windows.Common-Controls"),
    (kAsm % 1 + "assemblyIdentity", "version", "6.0.0.0"),
    (kAsm % 3 + "requestedExecutionLevel", "level", "asInvoker"),
    (kAsm % 3 + "requestedExecutionLevel", "uiAccess", "false"),
    (kSmi % 2005 + "dpiAware", None, "true/pm"),
    (kSmi % 2016 + "dpiAwareness", None, "PerMonitorV2, PerMonitor")]
kSupportedOS = "{urn:schemas-microsoft-com:compatibility.v1}supportedOS"
kSystems = {"{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
            "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
            "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}  # Vista, 7, 8, 8.1, 10 and 11
faults = []


def check(ok, fault):
    if not ok:
        faults.append(fault)


def read_archive(path):
    """[(path, bytes, mode)] of the archive's files."""
    if path.endswith(".zip"):
        with zipfile.ZipFile(path) as archive:
            return [(i.filename, archive.read(i), i.external_attr >> 16)
                    for i in archive.infolist() if not i.is_dir()]
    with tarfile.open(path) as archive:
        return [(i.name, archive.extractfile(i).read(), i.mode) for i in archive if i.isfile()]


def pe_program(data):
    """(OS major, minor, subsystem major, minor) of a PE32+ image, and its manifest (24/1)."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    count, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    versions = struct.unpack_from("<6H", data, pe + 24 + 40)
    sections = [struct.unpack_from("<8xIIII", data, pe + 24 + optional_size + 40 * i)
                for i in range(count)]

    def offset(rva):
        return next(raw + rva - at for size, at, raw_size, raw in sections
                    if at <= rva < at + max(size, raw_size))

    root = offset(struct.unpack_from("<I", data, pe + 24 + 112 + 2 * 8)[0])

    def child(directory, wanted):  # the entry with id WANTED, or the first
        named, ids = struct.unpack_from("<HH", data, directory + 12)
        entries = [struct.unpack_from("<II", data, directory + 16 + 8 * i)
                   for i in range(named, named + ids)]
        return next(root + (to & 0x7FFFFFFF) for key, to in entries if wanted in (None, key))

    rva, size = struct.unpack_from("<II", data, child(child(child(root, 24), 1), None))
    return versions[:2] + versions[4:], data[offset(rva):offset(rva) + size]


def check_program(data):
    versions, manifest = pe_program(data)
    check(versions == (6, 0, 6, 0), "qeloweather.exe: OS and subsystem versions %s" % (versions,))
    try:
        root = ET.fromstring(manifest)
    except ET.ParseError as error:
        return check(False, "the manifest is not well-formed XML: %s" % error)
    values = {(e.tag, key): value for e in root.iter()
              for key, value in list(e.attrib.items()) + [(None, (e.text or "").strip())]}
    for tag, key, value in kManifest:
        check(values.get((tag, key)) == value, "the manifest lacks %s %s=%s" % (tag, key, value))
    check({e.get("Id") for e in root.iter(kSupportedOS)} == kSystems, "supportedOS Vista to 11")


def links_of(name, text):
    """The archive paths that a guide's relative links or README.txt's paths name."""
    if name.endswith(".md"):
        targets = re.findall(r"\]\(([^)#\s]+)", text)
        return [posixpath.join(posixpath.dirname(name), target)
                for target in targets if not re.match(r"[a-z]+:", target)]
    if name == "README.txt":
        check("中文" in text and not re.search(r"@[A-Z]+@", text), "README.txt: marks or no Chinese")
        paths = re.findall(r"(?:[\w.-]+[/\\])+[\w.-]+\.\w+", text, re.A)
        return [p.replace("\\", "/") for p in paths]
    return []


def main():
    path = sys.argv[1]
    windows = path.endswith(".zip")
    top = re.sub(r"\.(zip|tar\.gz)$", "", posixpath.basename(path)) + "/"
    entries = read_archive(path)
    check(all(name.startswith(top) for name, _, _ in entries), "not all under " + top)
    files = {name[len(top):]: (data, mode) for name, data, mode in entries}
    check(set(files) == kFiles[windows], "files %s" % sorted(files))
    for name, (data, mode) in files.items():
        if name.startswith("qeloweather"):
            if windows:
                check_program(data)
            continue
        crlf = data.count(b"\r\n")
        check(data.count(b"\n") == crlf == data.count(b"\r") if windows else b"\r" not in data,
              "%s: not all line ends are %s" % (name, "CR LF" if windows else "LF"))
        bom = windows and name == "README.txt"
        check(data.startswith(b"\xef\xbb\xbf") == bom, name + ": byte-order mark")
        check(bool(mode & 0o111) == name.endswith(".sh"), "%s: mode %o" % (name, mode))
        for link in links_of(name, data.decode("utf-8-sig")):
            check(posixpath.normpath(link) in files, "%s: %s is not in the archive" % (name, link))
    for fault in faults:
        print("FAIL: %s: %s" % (path, fault), file=sys.stderr)
    if faults:
        return 1
    print("ok: %s: %d files, texts, links%s" % (path, len(files), ", program" if windows else ""))
    return 0


if __name__ == "__main__":
    sys.exit(main())
