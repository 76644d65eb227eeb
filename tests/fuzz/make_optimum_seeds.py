#!/usr/bin/env python3
"""Writes the seed answers of the Optimum fuzz targets, byte by byte, with its own framing.

Run from anywhere: python3 tests/fuzz/make_optimum_seeds.py
The card numbers are made up; they belong to no card.

optimum_obten_track/: what the terminal answers to the card request C54, as raw bytes (the
target also reads each input as spaced hex text, so a few seeds are given in that form too).
optimum_tags_validos/: the EMV text of field G, hex digits with two decimal digits of count.
"""
import os

STX, ETX, FS = b"\x02", b"\x03", b"\x1c"
HERE = os.path.dirname(os.path.abspath(__file__))


def lrc(body: bytes) -> bytes:
    value = 0
    for byte in body:
        value ^= byte
    return bytes([value ^ 0x03])


def frame(message: bytes) -> bytes:
    length = b"%03d" % len(message)
    return STX + length + message + ETX + lrc(length + message)


def p54(fields):
    """The answer P54: field A right after the command, later fields after FS."""
    message = b"P54"
    for index, (letter, value) in enumerate(fields):
        if index:
            message += FS
        message += letter + value
    return frame(message)


def spaced(data: bytes) -> bytes:
    return b"".join(b"%02X " % byte for byte in data)


TRACK1 = b"B4152000000000016^PRUEBA/TARJETA^2512101000000000000"
TRACK2 = b"4152000000000016=25121010000000000"
EMV = (b"5F2A040484" b"82045C00" b"8414A0000000031010" b"95100000008000"
       b"9A06240305" b"9C0200" b"9F0212000000012500" b"9F03120000000000"
       b"9F26161122334455667788" b"9F270280" b"9F36040001" b"9F3708A1B2C3D4"
       b"9F1014060110A0000000" b"9F1A040484" b"5F340201")

OBTEN_TRACK = {
    "stripe.bin": p54([(b"A", TRACK1), (b"B", TRACK2), (b"C", b"0"), (b"D", b"0")]),
    "stripe_with_f.bin": p54([(b"A", TRACK1), (b"B", TRACK2), (b"C", b"0"), (b"D", b"0"),
                              (b"F", b"0000")]),
    "chip_with_g.bin": p54([(b"A", b""), (b"B", TRACK2), (b"C", b"1"), (b"D", b"0"),
                            (b"F", b"01"), (b"G", EMV)]),
    "fallback.bin": p54([(b"A", TRACK1), (b"B", TRACK2), (b"C", b"0"), (b"D", b"1")]),
    "c_and_d_both_1.bin": p54([(b"A", TRACK1), (b"B", TRACK2), (b"C", b"1"), (b"D", b"1")]),
    "accepted_then_answer.bin": frame(b"P54A00") + p54([(b"A", TRACK1), (b"B", TRACK2),
                                                        (b"C", b"0"), (b"D", b"0")]),
    "no_track2.bin": p54([(b"A", TRACK1), (b"C", b"0"), (b"D", b"0")]),
    "cut_short.bin": p54([(b"A", TRACK1), (b"B", TRACK2), (b"C", b"1"), (b"D", b"0"),
                          (b"G", EMV)])[:70],
    "empty.bin": b"",
    "chip_with_g.hex.txt": spaced(p54([(b"A", b""), (b"B", TRACK2), (b"C", b"1"),
                                       (b"D", b"0"), (b"G", EMV)])),
    "stripe.hex.txt": spaced(p54([(b"A", TRACK1), (b"B", TRACK2), (b"C", b"0"),
                                  (b"D", b"0")])),
}
for code in (b"10", b"11", b"12", b"13", b"14", b"15", b"16", b"99"):
    OBTEN_TRACK["error_%s.bin" % code.decode()] = frame(b"E54A" + code)

TAGS_VALIDOS = {
    "full.txt": EMV,
    "arqc_only.txt": b"9F26161122334455667788",
    "with_blanks.txt": b"9F2616 1122334455667788 8414 A0000000031010 9A06 240305",
    "odd_count.txt": b"9F26151122334455667788",
    "count_past_end.txt": b"9F269911223344",
    "not_a_count.txt": b"9F26XX1122334455667788",
    "tag_inside_value.txt": b"9F3708A1829F2616112233445566778884",
    "empty.txt": b"",
}


def write(folder: str, files) -> None:
    path = os.path.join(HERE, "corpus", folder)
    os.makedirs(path, exist_ok=True)
    for name, data in files.items():
        with open(os.path.join(path, name), "wb") as out:
            out.write(data)


write("optimum_obten_track", OBTEN_TRACK)
write("optimum_tags_validos", TAGS_VALIDOS)
