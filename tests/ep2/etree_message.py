# Reads an ep2 message document from standard input with xml.etree and
# prints one line per element in document order:
#   depth TAB name TAB attributes TAB value
# Names of the test namespace are written with the prefix "ep2:". The
# attributes are name=value pairs (value as UTF-8 hex) sorted by name and
# joined by ",". A leaf's value is decoded by the type its name starts with
# ("ep2:<type>-<n>"): Base64 for b, Base64 then packed digits for cn, UTF-8
# for the others; all as upper-case hex. Containers print "-".
import base64
import sys
import xml.etree.ElementTree as ET

NS = "{urn:kalmore-test}"


def name_of(tag):
    return "ep2:" + tag[len(NS):] if tag.startswith(NS) else tag


def hexs(b):
    return b.hex().upper()


def value_of(el, name):
    if len(el):
        return "-"
    text = el.text or ""
    kind = name[4:].split("-")[0] if name.startswith("ep2:") else ""
    if kind == "b":
        return hexs(base64.b64decode(text, validate=True))
    if kind == "cn":
        packed = base64.b64decode(text, validate=True)
        return hexs("".join("%X%X" % (x >> 4, x & 15) for x in packed).encode("ascii"))
    return hexs(text.encode("utf-8"))


def walk(el, depth, out):
    name = name_of(el.tag)
    attrs = ",".join("%s=%s" % (k, hexs(v.encode("utf-8"))) for k, v in sorted(el.attrib.items()))
    out.append("%d\t%s\t%s\t%s" % (depth, name, attrs, value_of(el, name)))
    for child in el:
        walk(child, depth + 1, out)


lines = []
walk(ET.fromstring(sys.stdin.buffer.read()), 0, lines)
sys.stdout.write("\n".join(lines) + "\n")
