#!/usr/bin/python3
"""A mock ep2 host: an independent peer for wire tests, written from the
protocol's own rules with python3-cryptography primitives only.

Run it with Debian's /usr/bin/python3 (it needs python3-cryptography). It is
a library (import mock_ep2_host) and a command-line tool.

Frame (all numbers big-endian):
  length 4 | version 1 | standard version 2 (version >= 0x20) | mode 1 (0, 1, 2)
  mode 2:  sender id type 1 | sender id (type 3: 8, types 0-4: 11, from 5:
           configured) | owner id type 1 | owner id (types 0-3: 11, from 4:
           configured) | key index 1 | cryptogram length (1 byte below
           version 0x30, else 2) | cryptogram
  modes 1, 2: MAC 8 (retail MAC under the key's MAC variant over the SHA-1
           hash of the XML text, SHA-256 when the standard version is >= 06 30)
  XML text (UTF-8), the rest.

Command line (exit 0: every check passed, 1: a check failed, 2: misuse):
  server --expect E.json --response R.json --result OUT.json [--connections N]
      Listens on 127.0.0.1 port 0, prints "PORT <n>", accepts N connections
      (default 1). For each it reads one frame, checks it against the
      expectation (E is one object for every connection or a list, one per
      connection), writes all results so far to OUT, then acts as the
      response description says (R likewise an object or a list).
  client --port P --spec S.json --expect E.json --result OUT.json
      Connects, sends the frame built from S, reads one response frame and
      checks it.
  build --spec S.json (--out FILE | --out-dir DIR)
      Writes the frame of S (an object) to FILE, or of each description of a list to
      DIR/<description "name">.bin.
  check --expect E.json --frame F [--frame F ...] [--result OUT.json]
      Checks frame files (E an object or a list, one per frame).
  Common options: --timeout S (bounds every wait for a connection and every
  frame read, default 10), --max-frame N (default 10000000; a longer frame
  is refused from its length prefix). Every result is also printed:
  "RESULT <i> ok|FAIL" and one "CHECK <i> <name> pass|fail <detail>" line
  per check.

Byte values in JSON are hex text (blanks allowed); key and XML files are
paths, relative ones to the folder of the JSON file.

Result file: {"ok": all passed, "results": [{"ok": bool, "checks": [{"name",
  "pass", "detail"}], "header": the frame's fields, "session_key": hex,
  "response": what the server did}]}. Check names: frame, header.<field>,
  xml.wellformed, xml.tree, cryptogram, cryptogram.<field>, mac,
  item.<name>[<occurrence>], connect.

Expectation (every key optional):
  {"sender_id_length": 8, "owner_id_length": 11,   lengths of the id types
                                                   without a fixed length
   "frame_error": "text",          the frame must be refused with this text
   "header": {"version": 48, "spec_version": "0630", "mode": 2,
              "sender_id_type": 3, "sender_id": hex, "owner_id_type": 0,
              "owner_id": hex, "key_index": 1, "cryptogram_length": 256},
   "xml": "<...>" or "xml_file": path,  compared as trees (tag, attributes,
                                   stripped text, children in order)
   "ignore_text": [names],         elements whose text is not compared
                                   (encrypted items never are)
   "private_key": path to PEM | {"n": hex, "e": hex, "d": hex},
   "session_key": hex | "exchange",  key when the frame has no cryptogram;
                                   "exchange": the key the client sent
   "cryptogram": {"sender_id": hex, "session_key": hex, "secret": hex,
                  "form": "raw" | "oaep"},
   "mac_variant": 1 | 2,           else either variant is accepted
   "items": [{"name": "ep2:AppPAN", "clear": digits, "occurrence": 1,
              "entry": i},         entry: key of the i-th ATC entry
             {"name": "ep2:EncPIN", "pin": "1234", "format": 2 | 3,
              "pan": digits}]}     pan: else the clear PAN or track 2 item
  Items are Base64 in the XML. "clear" is hex digits, an odd count filled
  with F as packed digits; it is Triple-DES encrypted with 0x80 padding under
  the encryption variant ("ep2:StatKeyPANRct": key-encryption variant); PIN
  blocks are under the PIN variant. In mode 2 the key is the cryptogram's,
  else "session_key".
Response spec:
  {"action": "frame" | "close" | "reset", "after": "close" | "keep",
   "frame_file": path | "frame_hex": hex | "build": frame description}
  "keep" waits (bounded) until the peer closes.
Frame spec:
  {"version": 48, "spec_version": "0630", "mode": 2, "xml": text |
   "xml_file": path, "session_key": hex | "exchange" (server: the request's
   key), "mac_variant": 1, "sender_id_type": 3, "sender_id": hex,
   "owner_id_type": 0, "owner_id": hex, "key_index": 0,
   "public_key": path | {"n": hex, "e": hex}, "cryptogram_id": text (default:
   the sender id), "secret": hex (16 bytes), "cryptogram": hex (given as is),
   "encrypt": [{"name", "clear" | "pin" + "format" + "pan", "occurrence",
                "session_key" (else the frame's)},
               {"name": "ep2:SessKeyCryp", "session_key": hex, "public_key",
                "cryptogram_id": text, "secret": hex}],  (replace the
                element's text; the XML is then written anew)
   "broken": {"kind": "bad_mac" | "truncated" (keep: bytes kept) |
              "wrong_length" (delta) | "unknown_mode" (mode) |
              "unexpected_root" (root) | "missing_element" (element) |
              "wrong_fixed_value" (element, value)}}
"""

import argparse
import base64
import binascii
import hashlib
import json
import os
import secrets
import socket
import struct
import sys
import time
import xml.etree.ElementTree as ET
import xml.parsers.expat

from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import padding, rsa
from cryptography.hazmat.primitives.ciphers import Cipher, algorithms, modes

MAX_FRAME = 10_000_000
MAX_JSON = 16 << 20
VARIANT_WORDS = (0x7184, 0xEB5A, 0x9309, 0x0C7E, 0xC5B1, 0x3FE7)
TC, MAC_SEND, MAC_REC, ENCRYPTION, PIN, KEY_ENC = range(6)
ITEM_VARIANTS = {"ep2:EncPIN": PIN, "ep2:StatKeyPANRct": KEY_ENC}
PAN_NAMES = ("ep2:AppPAN", "ep2:Track2Dat", "ep2:Track2EqDat")


class MockError(Exception):
    """A frame, key or description the mock cannot use; the text says why."""


# --- primitives -------------------------------------------------------------

def xor(a, b):
    return bytes(x ^ y for x, y in zip(a, b))


def unhex(text, what="value"):
    try:
        return bytes.fromhex("".join(str(text).split()))
    except ValueError:
        raise MockError(f"{what}: not hex text: {text!r}") from None


def tdes(key, data, encrypt, iv=None):
    """DES (8-byte key) or Triple-DES EDE (16 or 24 bytes), ECB or CBC."""
    cipher = Cipher(algorithms.TripleDES(key), modes.CBC(iv) if iv else modes.ECB())
    ctx = cipher.encryptor() if encrypt else cipher.decryptor()
    return ctx.update(data) + ctx.finalize()


def check_key(key, what="session key"):
    if len(key) not in (16, 24):
        raise MockError(f"{what} has {len(key)} bytes, expected 16 or 24")


def key_variant(key, variant):
    """16 bytes: the key XOR its variant's mask. 24 bytes: R1 = E(C),
    R2 = E(R1 ^ C), R3 = E(R2 ^ C) with C the mask's first 8 bytes."""
    check_key(key)
    if variant not in range(6):
        raise MockError(f"unknown key variant {variant}")
    mask = VARIANT_WORDS[variant].to_bytes(2, "big") * (len(key) // 2)
    if len(key) == 16:
        return xor(key, mask)
    c, block, out = mask[:8], mask[:8], b""
    for _ in range(3):
        r = tdes(key, block, True)
        out, block = out + r, xor(r, c)
    return out


def pad80(data):
    data += b"\x80"
    return data + bytes(-len(data) % 8)


def unpad80(data):
    body = data.rstrip(b"\x00")
    if not body.endswith(b"\x80") or len(data) - len(body) > 7:
        raise MockError("padding is not 0x80 followed by at most seven 0x00 bytes")
    return body[:-1]


def retail_mac(key, text):
    """ISO/IEC 9797-1 MAC algorithm 3, padding method 2: DES-CBC under K1,
    the last block deciphered under K2 and enciphered under K3 (K1 again for
    a 16-byte key)."""
    check_key(key, "MAC key")
    k1, k2, k3 = key[:8], key[8:16], key[16:24] or key[:8]
    last = tdes(k1, pad80(text), True, bytes(8))[-8:]
    return tdes(k3, tdes(k2, last, False), True)


def xml_hash(xml_text, spec_version):
    """SHA-256 from standard version 06 30 on, else (and without one) SHA-1."""
    sha256 = spec_version and spec_version.hex().upper() >= "0630"
    return (hashlib.sha256 if sha256 else hashlib.sha1)(xml_text).digest()


def encrypt_string(key, clear):
    """Triple-DES EDE, outer CBC, zero IV, mandatory 0x80 padding."""
    check_key(key)
    padded = pad80(clear)
    if len(padded) > 248:
        raise MockError(f"value too long for encryption ({len(clear)} bytes)")
    return tdes(key, padded, True, bytes(8))


def decrypt_string(key, data):
    check_key(key)
    if not data or len(data) % 8:
        raise MockError(f"encrypted value has {len(data)} bytes, not a multiple of 8")
    return unpad80(tdes(key, data, False, bytes(8)))


def pack_digits(text):
    """Hex digits as bytes, an odd count filled with F (compressed numeric)."""
    text = "".join(str(text).split()).upper()
    return unhex(text + "F" * (len(text) % 2), "digits")


def pan_field(pan):
    """0000 and the 12 rightmost digits of the PAN without F and cut before D."""
    cleaned = pan.upper().replace("F", "").split("D")[0]
    if len(cleaned) < 12 or not cleaned[-12:].isdigit():
        raise MockError(f"PAN {pan!r} does not give 12 digits for a format-3 PIN block")
    return bytes.fromhex("0000" + cleaned[-12:])


def make_pin_block(pin_key, pin, fmt, pan=""):
    check_key(pin_key, "PIN key")
    if not pin.isdigit() or len(pin) > 14 or fmt not in (2, 3):
        raise MockError(f"cannot make a format-{fmt} PIN block of {pin!r}")
    head = f"{fmt}{len(pin):X}{pin}"
    fill = "".join("F" if fmt == 2 else secrets.choice("ABCDEF") for _ in range(16 - len(head)))
    clear = bytes.fromhex(head + fill)
    if fmt == 3:
        clear = xor(clear, pan_field(pan))
    return tdes(pin_key, clear, True)


def read_pin_block(pin_key, block, fmt, pan=""):
    """The PIN of an encrypted block, with every field of the block checked."""
    check_key(pin_key, "PIN key")
    if len(block) != 8:
        raise MockError(f"PIN block has {len(block)} bytes, expected 8")
    clear = tdes(pin_key, block, False)
    if fmt == 3:
        clear = xor(clear, pan_field(pan))
    digits = clear.hex().upper()
    if digits[0] != str(fmt):
        raise MockError(f"PIN block format digit is {digits[0]}, expected {fmt}")
    n = int(digits[1], 16)
    pin, fill = digits[2:2 + n], digits[2 + n:]
    if not 4 <= n <= 12 or not pin.isdigit():
        raise MockError(f"PIN block {digits} holds no PIN of 4-12 digits")
    if fmt == 2 and fill != "F" * len(fill):
        raise MockError(f"format-2 PIN block {digits} is not filled with F")
    return pin


# --- RSA and the session-key cryptogram --------------------------------------

def _load(spec, base, private):
    if isinstance(spec, dict):
        n, e = int(spec["n"], 16), int(spec["e"], 16)
        if not private:
            return rsa.RSAPublicNumbers(e, n).public_key()
        d = int(spec["d"], 16)
        p, q = rsa.rsa_recover_prime_factors(n, e, d)
        return rsa.RSAPrivateNumbers(p, q, d, rsa.rsa_crt_dmp1(d, p), rsa.rsa_crt_dmq1(d, q),
                                     rsa.rsa_crt_iqmp(p, q),
                                     rsa.RSAPublicNumbers(e, n)).private_key()
    data = read_bounded(resolve(spec, base), MAX_JSON)
    try:
        if private:
            return serialization.load_pem_private_key(data, None)
        try:
            return serialization.load_pem_public_key(data)
        except ValueError:
            return serialization.load_pem_private_key(data, None).public_key()
    except (ValueError, TypeError) as e:
        raise MockError(f"{spec}: no usable RSA key ({e})") from None


def load_private_key(spec, base="."):
    return _load(spec, base, True)


def load_public_key(spec, base="."):
    return _load(spec, base, False)


def modulus_length(n):
    return (n.bit_length() + 7) // 8


def cryptogram_id(text):
    """The id in a cryptogram: its last 8 characters, or left-filled with 0."""
    data = text.encode("latin-1") if isinstance(text, str) else bytes(text)
    return data[-8:].rjust(8, b"0")


def make_cryptogram(public_key, sender_id, session_key, secret):
    """0x7F | id | key | secret: a 16-byte key in a block of random filling
    under raw RSA, a 24-byte key under RSA-OAEP with SHA-256."""
    check_key(session_key)
    if len(secret) != 16:
        raise MockError(f"component secret has {len(secret)} bytes, expected 16")
    data = b"\x7f" + cryptogram_id(sender_id) + session_key + secret
    if len(session_key) == 24:
        sha = hashes.SHA256()
        return public_key.encrypt(data, padding.OAEP(padding.MGF1(sha), sha, None))
    nums = public_key.public_numbers()
    k = modulus_length(nums.n)
    size = k if nums.n >> (8 * (k - 1)) >= 0x80 else k - 1
    if size < len(data):
        raise MockError(f"modulus of {k} bytes is too short for a cryptogram block")
    block = data + secrets.token_bytes(size - len(data))
    return pow(int.from_bytes(block, "big"), nums.e, nums.n).to_bytes(k, "big")


def open_cryptogram(private_key, cryptogram, form=None):
    """Returns dict(sender_id, session_key, secret, form). The form is found
    by trying OAEP first (its label hash cannot match a raw block)."""
    nums = private_key.private_numbers()
    n, k = nums.public_numbers.n, modulus_length(nums.public_numbers.n)
    if len(cryptogram) != k:
        raise MockError(f"cryptogram has {len(cryptogram)} bytes, the modulus {k}")
    if form in (None, "oaep"):
        sha = hashes.SHA256()
        try:
            data = private_key.decrypt(cryptogram, padding.OAEP(padding.MGF1(sha), sha, None))
            if len(data) != 49 or data[0] != 0x7F:
                raise MockError(f"OAEP data is not 0x7F and 48 bytes: {data.hex()}")
            return dict(sender_id=data[1:9], session_key=data[9:33], secret=data[33:49],
                        form="oaep")
        except ValueError:
            if form == "oaep":
                raise MockError("OAEP decoding failed") from None
    value = int.from_bytes(cryptogram, "big")
    if value >= n:
        raise MockError("cryptogram is not below the modulus")
    plain = pow(value, nums.d, n).to_bytes(k, "big")
    size = k if n >> (8 * (k - 1)) >= 0x80 else k - 1
    block = plain[k - size:]
    if any(plain[:k - size]) or block[0] != 0x7F:
        raise MockError(f"decrypted block does not start with 0x7F: {plain[:8].hex()}...")
    return dict(sender_id=block[1:9], session_key=block[9:25], secret=block[25:41], form="raw")


# --- frames ------------------------------------------------------------------

FIELDS = ("version", "spec_version", "mode", "sender_id_type", "sender_id", "owner_id_type",
          "owner_id", "key_index", "cryptogram_length", "cryptogram", "mac")


def parse_frame(data, sender_id_length=8, owner_id_length=11, max_frame=MAX_FRAME):
    """Splits a frame into a dict of its fields ("xml" the text, "hash" its
    hash in modes 1 and 2); MockError names the first field that is wrong."""
    if len(data) < 4:
        raise MockError(f"frame of {len(data)} bytes has no 4-byte length prefix")
    length = int.from_bytes(data[:4], "big")
    if length > max_frame:
        raise MockError(f"length prefix {length} exceeds the limit {max_frame}")
    if length != len(data) - 4:
        raise MockError(f"length prefix says {length} bytes, {len(data) - 4} follow")
    pos = 4

    def take(n, what):
        nonlocal pos
        if pos + n > len(data):
            raise MockError(f"{what}: {n} bytes needed at offset {pos}, {len(data) - pos} left")
        pos += n
        return data[pos - n:pos]

    f = dict(length=length, version=take(1, "version")[0])
    f["spec_version"] = take(2, "spec version") if f["version"] >= 0x20 else b""
    f["mode"] = take(1, "security mode")[0]
    if f["mode"] not in (0, 1, 2):
        raise MockError(f"unknown security mode {f['mode']}")
    if f["mode"] == 2:
        f["sender_id_type"] = t = take(1, "sender id type")[0]
        f["sender_id"] = take(8 if t == 3 else 11 if t <= 4 else sender_id_length, "sender id")
        f["owner_id_type"] = t = take(1, "owner id type")[0]
        f["owner_id"] = take(11 if t <= 3 else owner_id_length, "owner id")
        f["key_index"] = take(1, "key index")[0]
        f["cryptogram_length"] = int.from_bytes(
            take(2 if f["version"] >= 0x30 else 1, "cryptogram length"), "big")
        f["cryptogram"] = take(f["cryptogram_length"], "cryptogram")
    if f["mode"]:
        f["mac"] = take(8, "MAC")
    f["xml"] = data[pos:]
    if f["mode"]:
        f["hash"] = xml_hash(f["xml"], f["spec_version"])
    return f


def build_frame(xml_text, version=0x30, spec_version=b"\x06\x30", mode=0, session_key=b"",
                mac_variant=MAC_SEND, sender_id_type=3, sender_id=b"", owner_id_type=0,
                owner_id=b"", key_index=0, cryptogram=b"", bad_mac=False):
    if version >= 0x20 and len(spec_version) != 2:
        raise MockError("standard version must be 2 bytes")
    spec_version = spec_version if version >= 0x20 else b""
    body = b""
    if mode == 2:
        size = 2 if version >= 0x30 else 1
        if len(cryptogram) >= 1 << (8 * size):
            raise MockError(f"cryptogram of {len(cryptogram)} bytes is too long for its field")
        body = (bytes([sender_id_type]) + sender_id + bytes([owner_id_type]) + owner_id +
                bytes([key_index]) + len(cryptogram).to_bytes(size, "big") + cryptogram)
    if mode in (1, 2):
        mac = retail_mac(key_variant(session_key, mac_variant), xml_hash(xml_text, spec_version))
        body += mac[:7] + bytes([mac[7] ^ 1]) if bad_mac else mac
    elif mode != 0:
        raise MockError(f"cannot build security mode {mode}")
    body = bytes([version]) + spec_version + bytes([mode]) + body + xml_text
    return struct.pack(">I", len(body)) + body


# --- XML ---------------------------------------------------------------------

def parse_xml(text, max_depth=200):
    """Parses without namespace processing, so "ep2:Name" stays one name;
    nesting is bounded (the tree walks recurse)."""
    builder, parser, depth = ET.TreeBuilder(), xml.parsers.expat.ParserCreate(), [0]

    def start(tag, attrs):
        depth[0] += 1
        if depth[0] > max_depth:
            raise MockError(f"XML nested deeper than {max_depth} elements")
        builder.start(tag, attrs)

    def end(tag):
        depth[0] -= 1
        builder.end(tag)

    parser.StartElementHandler, parser.EndElementHandler = start, end
    parser.CharacterDataHandler = builder.data
    try:
        parser.Parse(text, True)
        return builder.close()
    except (xml.parsers.expat.ExpatError, AssertionError) as e:
        raise MockError(f"XML not well-formed: {e}") from None


def write_xml(root, original):
    """The tree as UTF-8 text behind the original's XML declaration."""
    head = b""
    if original.lstrip().startswith(b"<?xml"):
        end = original.index(b"?>") + 2
        head = original[:end] + b"\r\n"
    return head + ET.tostring(root, encoding="unicode").encode("utf-8")


def find_element(root, name, occurrence=1):
    found = [e for e in root.iter() if e.tag == name]
    if len(found) < occurrence:
        raise MockError(f"element {name} (occurrence {occurrence}) not in the message")
    return found[occurrence - 1]


def compare_trees(want, got, ignore, path=""):
    path += "/" + want.tag
    if want.tag != got.tag:
        return f"{path}: found <{got.tag}>"
    if want.attrib != got.attrib:
        return f"{path}: attributes {got.attrib}, expected {want.attrib}"
    if want.tag not in ignore and (want.text or "").strip() != (got.text or "").strip():
        return f"{path}: text {(got.text or '').strip()!r}, expected {(want.text or '').strip()!r}"
    if len(want) != len(got):
        return f"{path}: {len(got)} child elements, expected {len(want)}"
    for w, g in zip(want, got):
        if diff := compare_trees(w, g, ignore, path):
            return diff
    return ""


def atc_entries(root):
    """ATC values and body cryptograms paired in document order: an entry
    takes at most one of each."""
    entries = []
    for e in root.iter():
        slot = {"ep2:AcqTC": "value", "ep2:SessKeyCryp": "cryptogram"}.get(e.tag)
        if slot:
            if not entries or slot in entries[-1]:
                entries.append({})
            entries[-1][slot] = b64(e.text, e.tag)
    return entries


def b64(text, what):
    try:
        return base64.b64decode("".join((text or "").split()), validate=True)
    except binascii.Error as e:
        raise MockError(f"{what}: not Base64 ({e})") from None


# --- building from a description ---------------------------------------------

def encrypt_items(root, items, frame_key, base):
    """Replaces the named elements' text by Base64 of their encrypted value."""
    clear_pan = next((it["clear"] for n in PAN_NAMES for it in items
                      if it["name"] == n and "clear" in it), "")
    for item in items:
        name = item["name"]
        key = unhex(item["session_key"], "session_key") if "session_key" in item else frame_key
        elem = find_element(root, name, item.get("occurrence", 1))
        if name == "ep2:SessKeyCryp":
            value = make_cryptogram(load_public_key(item["public_key"], base),
                                    item.get("cryptogram_id", "00000000"), key,
                                    unhex(item.get("secret", "00" * 16), "secret"))
        elif name == "ep2:EncPIN":
            value = make_pin_block(key_variant(key, PIN), str(item["pin"]), item.get("format", 2),
                                   str(item.get("pan", clear_pan)))
        else:
            value = encrypt_string(key_variant(key, ITEM_VARIANTS.get(name, ENCRYPTION)),
                                   pack_digits(item["clear"]))
        elem.text = base64.b64encode(value).decode("ascii")


def break_xml(root, broken):
    kind = broken["kind"]
    if kind == "unexpected_root":
        # The message element: the document element's first child, else itself.
        next(iter(root), root).tag = broken.get("root", "ep2:Unexpected")
    elif kind == "missing_element":
        name = broken["element"]
        for parent in root.iter():
            for child in parent:
                if child.tag == name:
                    parent.remove(child)
                    return
        raise MockError(f"element {name} not in the message")
    elif kind == "wrong_fixed_value":
        find_element(root, broken["element"]).text = broken["value"]


def build_from_spec(spec, base=".", exchange_key=b""):
    """A frame (bytes) and the session key it was made with."""
    xml_text = spec["xml"].encode("utf-8") if "xml" in spec else \
        read_bounded(resolve(spec["xml_file"], base), MAX_FRAME)
    raw_key = spec.get("session_key", "")
    key = exchange_key if raw_key == "exchange" else unhex(raw_key, "session_key")
    broken = spec.get("broken", {})
    if spec.get("encrypt") or broken.get("kind") in ("unexpected_root", "missing_element",
                                                     "wrong_fixed_value"):
        root = parse_xml(xml_text)
        encrypt_items(root, spec.get("encrypt", []), key, base)
        if broken:
            break_xml(root, broken)
        xml_text = write_xml(root, xml_text)
    mode, version = spec.get("mode", 0), spec.get("version", 0x30)
    sender_id = unhex(spec.get("sender_id", ""), "sender_id")
    cryptogram = unhex(spec.get("cryptogram", ""), "cryptogram")
    if mode == 2 and not cryptogram:
        cryptogram = make_cryptogram(load_public_key(spec["public_key"], base),
                                     spec.get("cryptogram_id", sender_id), key,
                                     unhex(spec.get("secret", "00" * 16), "secret"))
    frame = build_frame(xml_text, version, unhex(spec.get("spec_version", "0630")), mode, key,
                        spec.get("mac_variant", MAC_SEND), spec.get("sender_id_type", 3),
                        sender_id, spec.get("owner_id_type", 0),
                        unhex(spec.get("owner_id", ""), "owner_id"), spec.get("key_index", 0),
                        cryptogram, broken.get("kind") == "bad_mac")
    if broken.get("kind") == "bad_mac" and mode == 0:
        raise MockError("a frame of mode 0 has no MAC to break")
    if broken.get("kind") == "truncated":
        frame = frame[:broken.get("keep", len(frame) // 2)]
    elif broken.get("kind") == "wrong_length":
        frame = struct.pack(">I", len(frame) - 4 + broken.get("delta", 1)) + frame[4:]
    elif broken.get("kind") == "unknown_mode":
        at = 5 + (2 if version >= 0x20 else 0)
        frame = frame[:at] + bytes([broken.get("mode", 3)]) + frame[at + 1:]
    elif broken.get("kind") not in (None, "bad_mac", "unexpected_root", "missing_element",
                                    "wrong_fixed_value"):
        raise MockError(f"unknown broken variant {broken.get('kind')!r}")
    return frame, key


# --- checking a frame against an expectation ---------------------------------

class Checks:
    def __init__(self):
        self.items = []

    def add(self, name, ok, detail=""):
        self.items.append({"name": name, "pass": bool(ok), "detail": str(detail)})
        return ok

    def equal(self, name, got, want):
        show = (lambda v: v.hex().upper()) if isinstance(got, bytes) else repr
        return self.add(name, got == want, f"got {show(got)}, expected {show(want)}")

    def result(self, **extra):
        return dict(ok=all(c["pass"] for c in self.items), checks=self.items, **extra)


def verify_frame(data, expect, base=".", exchange_key=b"", max_frame=MAX_FRAME):
    """Every check of a received frame; returns the result dict."""
    checks = Checks()
    try:
        f = parse_frame(data, expect.get("sender_id_length", 8),
                        expect.get("owner_id_length", 11), max_frame)
    except MockError as e:
        want = expect.get("frame_error")
        checks.add("frame", want is not None and want in str(e), e)
        return checks.result()
    if "frame_error" in expect:
        checks.add("frame", False, f"frame accepted, expected refusal: {expect['frame_error']}")
        return checks.result()
    checks.add("frame", True, f"{len(data)} bytes, mode {f['mode']}")
    header = {k: (f[k].hex().upper() if isinstance(f[k], bytes) else f[k]) for k in FIELDS
              if k in f}
    for name, want in expect.get("header", {}).items():
        got = f.get(name)
        checks.equal("header." + name, got,
                     unhex(want, name) if isinstance(got, bytes) else want)
    root = None
    try:
        root = parse_xml(f["xml"])
        checks.add("xml.wellformed", True)
    except MockError as e:
        checks.add("xml.wellformed", False, e)
    if ("xml" in expect or "xml_file" in expect) and root is not None:
        want_text = expect["xml"].encode("utf-8") if "xml" in expect else \
            read_bounded(resolve(expect["xml_file"], base), MAX_FRAME)
        ignore = set(expect.get("ignore_text", [])) | {i["name"] for i in expect.get("items", [])}
        diff = compare_trees(parse_xml(want_text), root, ignore)
        checks.add("xml.tree", not diff, diff or "same tree")
    key, private = b"", None
    if "private_key" in expect:
        private = load_private_key(expect["private_key"], base)
    if f["mode"] == 2:
        try:
            if private is None:
                raise MockError("no private key configured")
            c = open_cryptogram(private, f["cryptogram"], expect.get("cryptogram", {}).get("form"))
            key = c["session_key"]
            checks.add("cryptogram", True, f"{c['form']}, key {key.hex().upper()}")
            for name, want in expect.get("cryptogram", {}).items():
                if name != "form":
                    checks.equal("cryptogram." + name, c[name], unhex(want, name))
        except MockError as e:
            checks.add("cryptogram", False, e)
    elif "session_key" in expect:
        raw = expect["session_key"]
        key = exchange_key if raw == "exchange" else unhex(raw, "session_key")
    if f["mode"]:
        try:
            found = [v for v in (MAC_SEND, MAC_REC)
                     if retail_mac(key_variant(key, v), f["hash"]) == f["mac"]]
            want = expect.get("mac_variant")
            checks.add("mac", found and (want is None or want in found),
                       f"matches variant {found[0]}" if found else
                       f"no MAC variant matches (SHA-{'256' if len(f['hash']) == 32 else '1'})")
        except MockError as e:
            checks.add("mac", False, e)
    if expect.get("items") and root is not None:
        verify_items(checks, root, expect["items"], key, private)
    return checks.result(header=header, session_key=key.hex().upper())


def verify_items(checks, root, items, frame_key, private):
    entries = None
    pan = next((it["clear"] for n in PAN_NAMES for it in items
                if it["name"] == n and "clear" in it), "")
    for item in items:
        name, occ = item["name"], item.get("occurrence", 1)
        label = f"item.{name}" + (f"[{occ}]" if occ != 1 else "")
        try:
            key = frame_key
            if "entry" in item:
                entries = atc_entries(root) if entries is None else entries
                entry = entries[item["entry"]] if item["entry"] < len(entries) else {}
                if "cryptogram" not in entry or private is None:
                    raise MockError(f"ATC entry {item['entry']} has no cryptogram to open")
                key = open_cryptogram(private, entry["cryptogram"])["session_key"]
            value = b64(find_element(root, name, occ).text, name)
            if name == "ep2:EncPIN":
                pin = read_pin_block(key_variant(key, PIN), value, item.get("format", 2),
                                     str(item.get("pan", pan)))
                checks.equal(label, pin, str(item["pin"]))
            else:
                clear = decrypt_string(key_variant(key, ITEM_VARIANTS.get(name, ENCRYPTION)), value)
                checks.equal(label, clear, pack_digits(item["clear"]))
        except (MockError, KeyError) as e:
            checks.add(label, False, e)


# --- sockets -----------------------------------------------------------------

def recv_exact(conn, n, deadline):
    """Up to n bytes, fewer at the end of the stream; TimeoutError at the
    deadline (time.monotonic()), however slowly the bytes trickle in."""
    data = bytearray()
    while len(data) < n:
        left = deadline - time.monotonic()
        if left <= 0:
            raise TimeoutError(f"time-out after {len(data)} of {n} bytes")
        conn.settimeout(left)
        chunk = conn.recv(min(n - len(data), 65536))
        if not chunk:
            break
        data += chunk
    return bytes(data)


def read_frame(conn, max_frame, timeout):
    """One frame; a short one is returned as received (the checks say why),
    and a length above max_frame without its body."""
    deadline = time.monotonic() + timeout
    head = recv_exact(conn, 4, deadline)
    if len(head) < 4 or int.from_bytes(head, "big") > max_frame:
        return head
    return head + recv_exact(conn, int.from_bytes(head, "big"), deadline)


def respond(conn, spec, base, exchange_key, timeout):
    action = spec.get("action", "frame" if set(spec) & {"frame_file", "frame_hex", "build"}
                      else "close")
    if action == "reset":
        conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        return "reset"
    if action == "close":
        return "closed without answer"
    if action != "frame":
        raise MockError(f"unknown response action {action!r}")
    if "frame_file" in spec:
        frame = read_bounded(resolve(spec["frame_file"], base), MAX_FRAME)
    elif "frame_hex" in spec:
        frame = unhex(spec["frame_hex"], "frame_hex")
    else:
        frame = build_from_spec(spec["build"], base, exchange_key)[0]
    conn.sendall(frame)
    if spec.get("after", "close") == "keep":
        deadline = time.monotonic() + timeout
        try:
            while recv_exact(conn, 65536, deadline):
                pass
        except OSError:
            pass
    return f"sent {len(frame)} bytes"


# --- command line ------------------------------------------------------------

def resolve(path, base):
    return path if os.path.isabs(path) else os.path.join(base, path)


def read_bounded(path, limit):
    try:
        with open(path, "rb") as f:
            data = f.read(limit + 1)
    except OSError as e:
        raise MockError(f"cannot read {path}: {e.strerror}") from None
    if len(data) > limit:
        raise MockError(f"{path} is larger than {limit} bytes")
    return data


def load_json(path):
    try:
        return json.loads(read_bounded(path, MAX_JSON))
    except json.JSONDecodeError as e:
        raise MockError(f"{path}: not JSON ({e})") from None


def per_index(value, count, what):
    values = value if isinstance(value, list) else [value] * count
    if len(values) < count:
        raise MockError(f"{what} lists {len(values)} entries for {count}")
    return values


def report(results, path):
    if path:
        tmp = path + ".tmp"
        with open(tmp, "w") as out:
            json.dump({"ok": all(r["ok"] for r in results), "results": results}, out, indent=1)
        os.replace(tmp, path)


def print_results(results):
    for i, r in enumerate(results):
        print(f"RESULT {i} {'ok' if r['ok'] else 'FAIL'}")
        for c in r["checks"]:
            detail = " ".join(c["detail"].split())
            print(f"CHECK {i} {c['name']} {'pass' if c['pass'] else 'fail'} {detail}")
    sys.stdout.flush()
    return 0 if results and all(r["ok"] for r in results) else 1


def run_server(args):
    expects = per_index(load_json(args.expect), args.connections, "--expect")
    responses = per_index(load_json(args.response), args.connections, "--response")
    ebase, rbase = os.path.dirname(args.expect), os.path.dirname(args.response)
    results = []
    with socket.socket() as listener:
        listener.bind(("127.0.0.1", 0))
        listener.listen(args.connections)
        listener.settimeout(args.timeout)
        print(f"PORT {listener.getsockname()[1]}", flush=True)
        for i in range(args.connections):
            try:
                conn, _ = listener.accept()
            except OSError as e:
                checks = Checks()
                checks.add("connect", False, f"no connection: {e}")
                results.append(checks.result())
                break
            with conn:
                conn.settimeout(args.timeout)
                try:
                    data = read_frame(conn, args.max_frame, args.timeout)
                except OSError as e:
                    data = b""
                    print(f"mock_ep2_host: connection {i}: {e}", file=sys.stderr)
                result = verify_frame(data, expects[i], ebase, max_frame=args.max_frame)
                try:
                    result["response"] = respond(conn, responses[i], rbase,
                                                 unhex(result.get("session_key", "")),
                                                 args.timeout)
                except (OSError, MockError) as e:
                    result["response"] = f"failed: {e}"
                results.append(result)
                report(results, args.result)
    report(results, args.result)
    return print_results(results)


def run_client(args):
    spec = load_json(args.spec)
    frame, key = build_from_spec(spec, os.path.dirname(args.spec))
    with socket.create_connection(("127.0.0.1", args.port), timeout=args.timeout) as conn:
        conn.sendall(frame)
        try:
            data = read_frame(conn, args.max_frame, args.timeout)
        except OSError as e:
            data = b""
            print(f"mock_ep2_host: {e}", file=sys.stderr)
    result = verify_frame(data, load_json(args.expect), os.path.dirname(args.expect), key,
                          args.max_frame)
    report([result], args.result)
    return print_results([result])


def run_build(args):
    specs, base = load_json(args.spec), os.path.dirname(args.spec)
    if isinstance(specs, list):
        if not args.out_dir:
            raise MockError("a list of specs needs --out-dir")
        for spec in specs:
            if not spec["name"] or os.sep in spec["name"]:
                raise MockError(f"spec name {spec['name']!r} is no plain file name")
            with open(os.path.join(args.out_dir, spec["name"] + ".bin"), "wb") as out:
                out.write(build_from_spec(spec, base)[0])
            print(f"BUILT {spec['name']}")
    else:
        if not args.out:
            raise MockError("one description needs --out")
        with open(args.out, "wb") as out:
            out.write(build_from_spec(specs, base)[0])
    return 0


def run_check(args):
    expects = per_index(load_json(args.expect), len(args.frame), "--expect")
    base = os.path.dirname(args.expect)
    results = [verify_frame(read_bounded(path, args.max_frame + 4), e, base,
                            max_frame=args.max_frame) for path, e in zip(args.frame, expects)]
    report(results, args.result)
    return print_results(results)


def main(argv=None):
    parser = argparse.ArgumentParser(prog="mock_ep2_host", description="mock ep2 host")
    sub = parser.add_subparsers(dest="command", required=True)
    commands = {"server": run_server, "client": run_client, "build": run_build,
                "check": run_check}
    for name in commands:
        p = sub.add_parser(name)
        p.add_argument("--timeout", type=float, default=10.0)
        p.add_argument("--max-frame", type=int, default=MAX_FRAME)
    sub.choices["server"].add_argument("--connections", type=int, default=1)
    for name in ("server", "client", "check"):
        sub.choices[name].add_argument("--expect", required=True)
        sub.choices[name].add_argument("--result", required=name != "check")
    sub.choices["server"].add_argument("--response", required=True)
    sub.choices["client"].add_argument("--port", type=int, required=True)
    for name in ("client", "build"):
        sub.choices[name].add_argument("--spec", required=True)
    sub.choices["build"].add_argument("--out")
    sub.choices["build"].add_argument("--out-dir")
    sub.choices["check"].add_argument("--frame", action="append", required=True)
    args = parser.parse_args(argv)
    if not 0 < args.timeout <= 600 or not 0 < args.max_frame <= 100_000_000 or \
            getattr(args, "connections", 1) < 1:
        parser.error("--timeout, --max-frame or --connections out of range")
    try:
        return commands[args.command](args)
    except MockError as e:
        print(f"mock_ep2_host: error: {e}", file=sys.stderr)
    except (KeyError, TypeError, ValueError, AttributeError, IndexError, OSError) as e:
        print(f"mock_ep2_host: error: {type(e).__name__}: {e}", file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main())
