#!/usr/bin/env python3
"""Writes the seed corpus of every fuzz target into fuzz/corpus/<target>/.

Texts are UTF-16LE, the code units the routines see; two texts are separated by a zero unit.
Rerun after changing a seed; the files are committed.
"""
import os
import struct

here = os.path.dirname(os.path.abspath(__file__))


def u16(text):
    return text.encode("utf-16-le", "surrogatepass")


def two(first, second):
    return u16(first) + b"\0\0" + u16(second)


ccx = ('<CCX xmlns="any"><RadioMeasurement><enabled><MaxOffChannelTimeMs>50'
       '</MaxOffChannelTimeMs><MinOnChannelTimeMs>400</MinOnChannelTimeMs></enabled>'
       '</RadioMeasurement><Diagnostics><AuthorizedProfile>false</AuthorizedProfile><Channel>'
       '<SSID><Hex>446961676E6F73746963204368616E6E656C</Hex></SSID>'
       '<EnableClientReporting>false</EnableClientReporting></Channel></Diagnostics></CCX>')
dpt = ('<DPT xmlns="dptv1"><useDPTPrivateKey>true</useDPTPrivateKey>'
       '<DPTPrivateKey>01000000D08C9DDF0115D1118C7A00C04FC297EB</DPTPrivateKey>'
       '<DPTEncryption>AES</DPTEncryption></DPT>')
section = '<Quilmark xmlns="v1">' + ccx + dpt + '</Quilmark>'

seeds = {
    "extract_fragment": [
        two(section, "DPT"), two(section, "CCX"), two(ccx + dpt, "DPT"),
        two("<DPT/>", "DPT"), two("<DPTX>a</DPTX></DPT>", "DPT"), two("</DPT><DPT>", "DPT"),
        two("<dpt></dpt>", "DPT"), two("<DPT></DPT >", "DPT"), two("<CCX><CCX></CCX></CCX>", "CCX"),
        two("<a></a>", "a" * 252), two("<" + "b" * 253 + "></" + "b" * 253 + ">", "b" * 253),
        two("<\U0001F600></\U0001F600>", "\U0001F600"), two("", "DPT"),
    ],
    "combine_fragments": [
        b"\0" + two(ccx, dpt), b"\0" + two('<CCX xmlns="any"/>', dpt), b"\x02" + two(ccx, ""),
        b"\x01" + two("", dpt), b"\x03", b"\0" + two("<CCX></CCX></CCX>", "<DPT/>"),
        b"\0" + two("</CCX", dpt),
    ],
    "hex_bytes": [
        b"\x01" + u16("01000000D08C9DDF0115D1118C7A00C04FC297EB"), b"\x01" + u16("abcdef"),
        b"\x00" + u16("00"), b"\x02" + u16("0G"), b"\x01" + u16("123"), b"\x01",
        b"\x01" + u16(" 1"), b"\x01" + u16("FF" * 300),
    ],
    "ssid_hex": [
        b"\x01" + u16("446961676E6F73746963204368616E6E656C"), b"\x05" + u16("4142"),
        b"\x00" + u16("414"), b"\x00" + u16("4G"), b"\x22" + u16("00" * 32),
        b"\x03" + u16("00" * 33), b"\x04", b"\x04" + u16("00ff"),
    ],
    "ssid_text": [
        b"\x01" + u16("Diagnostic Channel"), b"\x00" + u16(" ~"), b"\x05" + u16("a" * 32),
        b"\x05" + u16("a" * 33), b"\x05" + u16("caf\u00e9"), b"\x05" + u16("tab\there"), b"\x02",
    ],
    "decimal": [
        u16(x) for x in ["0", "1", "-1", "  +42x", "\t\n-7", "2147483647", "2147483648",
                         "-2147483648", "-2147483649", "99999999999999999999", "abc", "-", "+ 5",
                         "\u00a012", "\uff11", "0012", ""]
    ],
    "dot_leader": [
        b"\x00" + u16("Add"), b"\x01" + u16("Passphrase:....."), b"\x02" + u16("......"),
        b"\x00" + u16("Static"), b"\x00" + u16("..."), b"\x00" + u16("a <untranslated> b"),
        b"\x01" + u16("Static....."), b"\x02" + u16("a......b....."), b"\x00" + u16("a.....b"),
        b"\x01" + u16("...."),
    ],
    "string_block": [
        struct.pack("<16H", *([0] * 16)),
        struct.pack("<H", 3) + u16("Add") + struct.pack("<15H", *([0] * 15)),
        struct.pack("<H", 5) + u16("ab"), struct.pack("<H", 0xFFFF), b"\x01",
        b"".join(struct.pack("<H", 2) + u16("xy") for _ in range(16)),
        b"".join(struct.pack("<H", 1) + u16("z") for _ in range(17)),
    ],
    "adapter_text": [
        two("8c1f2a3b-0000-4d5e-9f60-112233445566", "{8C1F2A3B-0000-4D5E-9F60-112233445566}"),
        two("8c1f2a3b-0000-4d5e-9f60-112233445566", "{8c1f2a3b-0000-4d5e-9f60-112233445566}x"),
        two("8c1f2a3b-0000-4d5e-9f60-112233445566", "8C1F2A3B-0000-4D5E-9F60-112233445566"),
        two("", "{}"), two("1", "{1}"), two("1", "{1"), u16("1") + b"\0\0" + b"\0\0" * 3,
        two("-1", ""), two("  42", "x"), two("0123456789", ""),
    ],
    "key_rules": [
        two("", ""), two("1234567", "1234567"), two("12345678", "12345678"),
        two("a" * 63, "A" * 63), two("0123456789abcdef" * 4, "0123456789ABCDEF" * 4),
        two("0123456789abcdeg" * 4, "0123456789abcdeg" * 4), two("password", "passwort"),
        two("x" * 70, "x" * 64), two("Blank456", "Blank456"), two("\u00e9" * 8, "\u00c9" * 8),
    ],
    "name_compare": [
        b"\x04" + two("AES", "aes"), b"\x04" + two("AES", "AES256"), b"\x04" + two("None", "NONE-at-all"),
        b"\x04" + two("TKIP", "tkip-x"), b"\x04" + two("WEP", ""), b"\x00" + two("a", "b"),
        b"\x07" + two("\u00c4", "\u00e4"),
    ],
}

for target, inputs in seeds.items():
    directory = os.path.join(here, "corpus", target)
    os.makedirs(directory, exist_ok=True)
    for name in os.listdir(directory):
        os.remove(os.path.join(directory, name))
    for number, data in enumerate(inputs):
        with open(os.path.join(directory, "seed-%02d" % number), "wb") as seed:
            seed.write(data)
    print("%s: %d seeds" % (target, len(inputs)))
