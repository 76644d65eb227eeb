#!/usr/bin/env python3
"""Writes the seed corpora of the Vx810 answer parsers, byte by byte, from the PIN pad's answer
layout (not from the driver's own code). Run from anywhere; the files land next to this script:

    corpus/vx810_obten_track/         raw answers to C30 and C31 (the target turns them into
                                      spaced hex the way the sale flow does)
    corpus/vx810_obten_tracks_banda/  raw answers to Q40
    corpus/vx810_tags_validos/        EMV tag texts as the chip answer carries them

Card numbers are made up (4152 0000 1111 2222 does not belong to any card).
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))
STX, ETX, FS = 0x02, 0x03, 0x1C


def lrc(body: bytes) -> int:
    value = 0
    for b in body:
        value ^= b
    return value ^ ETX


def framed(body: bytes) -> bytes:
    return bytes([STX]) + body + bytes([ETX, lrc(body)])


def tlv(tag: bytes, value: bytes) -> bytes:
    return tag + bytes([len(value)]) + value


def spaced(data: bytes) -> str:
    return "".join("%02X " % b for b in data)


TRACK2 = b"4152000011112222=25121010000000000000"
TRACK1 = b"B4152000011112222^PRUEBA/TARJETA^25121010000000000000"


def swipe(status: bytes, tracks: bytes) -> bytes:
    # C30, two status characters, two bytes of the PIN pad's own, then the track texts.
    return framed(b"C30" + status + bytes([0x00, len(tracks)]) + tracks)


EMV_TEMPLATE = (
    tlv(b"\x9f\x26", bytes.fromhex("1122334455667788"))
    + tlv(b"\x84", bytes.fromhex("A0000000031010"))
    + tlv(b"\x9a", bytes.fromhex("240305"))
    + tlv(b"\x9f\x36", bytes.fromhex("002A"))
    + tlv(b"\x95", bytes.fromhex("0000000000"))
    + tlv(b"\x9f\x1e", b"12345678")
    + tlv(b"\x9f\x02", bytes.fromhex("000000012550"))
    + tlv(b"\x5f\x2a", bytes.fromhex("0484"))
)


def chip(status: bytes, with_service_code=True, aut_code=b"00", template=EMV_TEMPLATE) -> bytes:
    # C33, status, two length bytes, then the elements the reader looks for, in card order.
    elements = b""
    if with_service_code:
        elements += tlv(b"\x5f\x30", bytes.fromhex("0201"))
    elements += tlv(b"\x5f\x20", b"PRUEBA/TARJETA ")
    elements += tlv(b"\x57", bytes.fromhex("4152000011112222D25122010123456F"))
    elements += tlv(b"\x5f\x24", bytes.fromhex("251231"))
    elements += tlv(b"\x9f\x27", bytes.fromhex("80"))
    elements += tlv(b"\x8a", aut_code)
    elements += b"\xe2" + bytes([0x81, len(template)]) + template
    return framed(b"C33" + status + bytes([len(elements) >> 8, len(elements) & 0xFF]) + elements)


CORPORA = {
    "vx810_obten_track": {
        "c30_swipe_with_tracks": swipe(b"21", TRACK2 + b"\x01" + TRACK1),
        "c30_swipe_without_tracks": swipe(b"21", b"\x01"),
        "c30_swipe_service_code_2": swipe(b"21", TRACK2.replace(b"=2512101", b"=2512201") + b"\x01"),
        "c30_status_22": swipe(b"22", TRACK2 + b"\x01" + TRACK1),
        "c30_status_chip": framed(b"C3000" + bytes([0x00, 0x00])),
        "c30_status_timeout": framed(b"C3006"),
        "c33_chip_approved": chip(b"00", aut_code=b"00"),
        "c33_chip_code_empty": chip(b"00", aut_code=b""),
        "c33_chip_status_30": chip(b"30"),
        "c33_without_5f30": chip(b"00", with_service_code=False),
        "c33_without_template": chip(b"00", template=b""),
        "c31_own_answer": framed(b"C3101"),
        "unknown_command": framed(b"I020"),
        "truncated_status": bytes([STX]) + b"C3",
    },
    "vx810_obten_tracks_banda": {
        "q40_both_tracks": framed(b"81." + TRACK2 + bytes([FS]) + TRACK1 + bytes([FS])),
        "q40_track1_unterminated": framed(b"81." + TRACK2 + bytes([FS]) + TRACK1),
        "q40_no_track2_separator": framed(b"81." + TRACK2),
        "q40_refused": framed(b"82"),
    },
    "vx810_tags_validos": {
        "arqc_aid_and_date": "9F2608 1122334455667788 8407 A0000000031010 9A03 240305".encode(),
        "eight_a_inside_length": b"9F2608AABBCCDDEEFF1122",
        "chip_template": spaced(EMV_TEMPLATE).encode(),
        "negative_length": b"9F26Z01122",
        "every_table_tag": "".join(
            t + "0100" for t in ["9F39", "5F34", "8A", "5F2A", "82", "84", "95", "9A", "9C",
                                 "9F02", "9F03", "9F09", "9F10", "9F1A", "9F1E", "9F26", "9F27",
                                 "9F33", "9F34", "9F35", "9F36", "9F37", "9F41", "9F53", "5F28",
                                 "9F07", "9F0D", "9F0E", "9F0F", "9F15", "9F1C", "9F30", "9F16",
                                 "9F21", "5F25", "9F01"]).encode(),
    },
}


def main() -> None:
    for corpus, files in CORPORA.items():
        folder = os.path.join(HERE, "corpus", corpus)
        os.makedirs(folder, exist_ok=True)
        for name, data in files.items():
            with open(os.path.join(folder, name), "wb") as out:
                out.write(data)


if __name__ == "__main__":
    main()
