#!/usr/bin/env python3
"""Writes the seed corpora of the PIN pad fuzz targets into corpus/<target>/, laid out byte by
byte the way each PIN pad sends its answers, without the drivers' code. The card numbers are
made up or test numbers. Run from anywhere: python3 tests/fuzz/make_corpus.py

The Ingenico seeds start with a flag byte: bit 0 asks ObtenTracks for fallback mode (vpModo 3),
bit 1 says the rest is already spaced hex text rather than raw bytes; for VerificaRespuesta the
first byte picks the expected command code instead (see the target).
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))
RAW, TEXT, FALLBACK = 0x00, 0x02, 0x01
STX, ETX, FS = b"\x02", b"\x03", b"\x1c"


def framed(body):
    """STX, the body, ETX and the LRC: the exclusive OR of the body, then of ETX."""
    value = 0x03
    for b in body:
        value ^= b
    return STX + body + ETX + bytes([value])


def tlv(tag, value_hex):
    value = bytes.fromhex(value_hex)
    return bytes.fromhex(tag) + bytes([len(value)]) + value


def spaced(raw):
    return "".join("%02X " % b for b in raw).encode("ascii")


# ---- Ingenico: command letters, a two-byte length, the data.
def ingenico(command, data):
    return framed(command + len(data).to_bytes(2, "big") + data)


def packed(digits):
    return bytes.fromhex(digits + "F" * (len(digits) % 2))


def ic0_answer(status, track2_digits="", track1="", emv=b""):
    """An IC0 answer; positions count from 1 at the first length byte."""
    t2 = packed(track2_digits) if track2_digits else b""
    t1 = track1.encode("ascii")
    data = bytes([status]) + bytes(19)       # 3, then 4-22
    data += bytes([len(t2)]) + t2.ljust(20, b"\x00")  # 23, 24-43
    data += bytes([len(t1)]) + t1.ljust(94, b"\x00")  # 44, 45-138
    data += len(emv).to_bytes(2, "big") + emv  # 139-140, 141 on
    return ingenico(b"IC0", data)


PAN = "4761739001010119"  # a test card number
CHIP_EMV = b"".join(tlv(t, v) for t, v in [
    ("9F02", "000000015050"), ("9A", "251206"), ("5F2A", "0484"), ("9F26", "1A2B3C4D5E6F7081"),
    ("9F27", "80"), ("95", "0000008000"), ("9C", "00"), ("82", "3900"), ("84", "A0000000031010"),
    ("9F36", "0012"), ("9F37", "A1B2C3D4"), ("9F10", "06010A03A00000"), ("5F34", "01"),
    ("9F1A", "0484"), ("9F33", "E0F8C8"), ("9F34", "1E0300"), ("9F35", "22"),
    ("9F41", "00000001"), ("5F25", "200101"), ("9F21", "183449")])
TRACK1 = "B" + PAN + "^PRUEBA/TARJETA^2512201100000000000000000000"
CHIP = ic0_answer(0x00, PAN + "D2512201100000000", TRACK1, CHIP_EMV)
KBD = ingenico(b"KBD", b"\x00123")

CORPORA = {
    "ingenico_obten_tracks": {
        "chip_emv": bytes([RAW]) + CHIP,
        "chip_emv_text": bytes([TEXT]) + spaced(CHIP),
        "stripe_only": bytes([RAW]) + ic0_answer(0x06, PAN + "D2512101100000000",
                                                 TRACK1.replace("2512201", "2512101")),
        "chip_card_swiped": bytes([RAW]) + ic0_answer(0x06, PAN + "D2512201100000000", TRACK1),
        "fallback_mode3": bytes([RAW | FALLBACK]) + ic0_answer(0x05, PAN + "D2512201100000000",
                                                               TRACK1),
        "track2_twelve_bytes": bytes([RAW]) + ic0_answer(0x06, PAN + "D2512201", ""),
        "chip_cut_short": bytes([RAW]) + CHIP[:200],
        "no_ic0": bytes([TEXT]) + b"43 46 30 00 00 ",
        **{"status_%02d" % s: bytes([RAW]) + ic0_answer(s) for s in range(1, 8)},
    },
    "ingenico_tags_validos": {
        "chip_emv": bytes([RAW]) + CHIP_EMV,
        "chip_emv_text": bytes([TEXT]) + spaced(CHIP_EMV),
        "compact_text": bytes([TEXT]) + CHIP_EMV.hex().upper().encode("ascii"),
        "date_only": bytes([RAW]) + tlv("9A", "251206"),
        "tag_at_end": bytes([TEXT]) + b"9F2608AABB",
    },
    "ingenico_obten_cvv2": {
        "kbd_three_digits": bytes([RAW]) + KBD,
        "kbd_four_digits_text": bytes([TEXT]) + spaced(ingenico(b"KBD", b"\x004567")),
        "kbd_empty": bytes([RAW]) + ingenico(b"KBD", b""),
        "kbd_cut_short": bytes([RAW]) + KBD[:7],
    },
    # First byte: index of the expected code in the target's table (IC0 is 5, IC1 is 6).
    "ingenico_verifica_respuesta": {
        "ic0_answer_for_ic0": bytes([5]) + CHIP,
        "ic0_answer_for_ic1": bytes([6]) + CHIP,
        "kbd_answer": bytes([3]) + KBD,
        "serial_answer": bytes([1]) + ingenico(b"CF0", b"\x00" * 8 + b"IPP32012345678"),
        "ack_then_frame": bytes([0]) + b"\x06" + ingenico(b"CF1", b""),
        "etx_without_lrc": bytes([6]) + ingenico(b"IC1", b"\x00")[:-1],
    },
}


# ---- Vx810: answers to C30 and C31 (ObtenTrack), to Q40 (ObtenTracksBanda), EMV tag texts.
VX_TRACK2 = b"4152000011112222=25121010000000000000"
VX_TRACK1 = b"B4152000011112222^PRUEBA/TARJETA^25121010000000000000"


def swipe(status, tracks):
    # C30, two status characters, two bytes of the PIN pad's own, then the track texts.
    return framed(b"C30" + status + bytes([0x00, len(tracks)]) + tracks)


VX_TEMPLATE = b"".join(tlv(t, v) for t, v in [
    ("9F26", "1122334455667788"), ("84", "A0000000031010"), ("9A", "240305"), ("9F36", "002A"),
    ("95", "0000000000"), ("9F1E", b"12345678".hex()), ("9F02", "000000012550"),
    ("5F2A", "0484")])


def chip(status, with_service_code=True, aut_code=b"00", template=VX_TEMPLATE):
    # C33, status, two length bytes, then the elements the reader looks for, in card order.
    elements = tlv("5F30", "0201") if with_service_code else b""
    elements += tlv("5F20", b"PRUEBA/TARJETA ".hex()) + tlv("57", "4152000011112222D25122010123456F")
    elements += tlv("5F24", "251231") + tlv("9F27", "80") + tlv("8A", aut_code.hex())
    elements += b"\xe2" + bytes([0x81, len(template)]) + template
    return framed(b"C33" + status + len(elements).to_bytes(2, "big") + elements)


CORPORA["vx810_obten_track"] = {
    "c30_swipe_with_tracks": swipe(b"21", VX_TRACK2 + b"\x01" + VX_TRACK1),
    "c30_swipe_without_tracks": swipe(b"21", b"\x01"),
    "c30_swipe_service_code_2": swipe(b"21", VX_TRACK2.replace(b"=2512101", b"=2512201") + b"\x01"),
    "c30_status_22": swipe(b"22", VX_TRACK2 + b"\x01" + VX_TRACK1),
    "c30_status_chip": framed(b"C3000" + bytes([0x00, 0x00])),
    "c30_status_timeout": framed(b"C3006"),
    "c33_chip_approved": chip(b"00", aut_code=b"00"),
    "c33_chip_code_empty": chip(b"00", aut_code=b""),
    "c33_chip_status_30": chip(b"30"),
    "c33_without_5f30": chip(b"00", with_service_code=False),
    "c33_without_template": chip(b"00", template=b""),
    "c31_own_answer": framed(b"C3101"),
    "unknown_command": framed(b"I020"),
    "truncated_status": STX + b"C3",
}
CORPORA["vx810_obten_tracks_banda"] = {
    "q40_both_tracks": framed(b"81." + VX_TRACK2 + FS + VX_TRACK1 + FS),
    "q40_track1_unterminated": framed(b"81." + VX_TRACK2 + FS + VX_TRACK1),
    "q40_no_track2_separator": framed(b"81." + VX_TRACK2),
    "q40_refused": framed(b"82"),
}
CORPORA["vx810_tags_validos"] = {
    "arqc_aid_and_date": b"9F2608 1122334455667788 8407 A0000000031010 9A03 240305",
    "eight_a_inside_length": b"9F2608AABBCCDDEEFF1122",
    "chip_template": spaced(VX_TEMPLATE),
    "negative_length": b"9F26Z01122",
    "every_table_tag": "".join(t + "0100" for t in (
        "9F39 5F34 8A 5F2A 82 84 95 9A 9C 9F02 9F03 9F09 9F10 9F1A 9F1E 9F26 9F27 9F33 9F34 "
        "9F35 9F36 9F37 9F41 9F53 5F28 9F07 9F0D 9F0E 9F0F 9F15 9F1C 9F30 9F16 9F21 5F25 "
        "9F01").split()).encode(),
}


# ---- Optimum: answers to C54 (P54 and its errors), and EMV texts of field G, hex digits
# with two decimal digits of count.
def optimum(message):
    return framed(b"%03d" % len(message) + message)


def p54(*fields):
    """The answer P54: field A right after the command, later fields after FS."""
    return optimum(b"P54" + FS.join(letter + value for letter, value in fields))


OPT_TRACK1 = b"B4152000000000016^PRUEBA/TARJETA^2512101000000000000"
OPT_TRACK2 = b"4152000000000016=25121010000000000"
OPT_EMV = (b"5F2A040484" b"82045C00" b"8414A0000000031010" b"95100000008000"
           b"9A06240305" b"9C0200" b"9F0212000000012500" b"9F03120000000000"
           b"9F26161122334455667788" b"9F270280" b"9F36040001" b"9F3708A1B2C3D4"
           b"9F1014060110A0000000" b"9F1A040484" b"5F340201")
STRIPE = ((b"A", OPT_TRACK1), (b"B", OPT_TRACK2), (b"C", b"0"), (b"D", b"0"))
CHIP_G = ((b"A", b""), (b"B", OPT_TRACK2), (b"C", b"1"), (b"D", b"0"), (b"G", OPT_EMV))

CORPORA["optimum_obten_track"] = {
    "stripe.bin": p54(*STRIPE),
    "stripe_with_f.bin": p54(*STRIPE, (b"F", b"0000")),
    "chip_with_g.bin": p54(*CHIP_G[:4], (b"F", b"01"), CHIP_G[4]),
    "fallback.bin": p54(*STRIPE[:3], (b"D", b"1")),
    "c_and_d_both_1.bin": p54(*STRIPE[:2], (b"C", b"1"), (b"D", b"1")),
    "accepted_then_answer.bin": optimum(b"P54A00") + p54(*STRIPE),
    "no_track2.bin": p54(STRIPE[0], *STRIPE[2:]),
    "cut_short.bin": p54(*STRIPE[:2], (b"C", b"1"), (b"D", b"0"), (b"G", OPT_EMV))[:70],
    "empty.bin": b"",
    "chip_with_g.hex.txt": spaced(p54(*CHIP_G)),
    "stripe.hex.txt": spaced(p54(*STRIPE)),
    **{"error_%s.bin" % c: optimum(b"E54A" + c.encode()) for c in
       ("10", "11", "12", "13", "14", "15", "16", "99")},
}
CORPORA["optimum_tags_validos"] = {
    "full.txt": OPT_EMV,
    "arqc_only.txt": b"9F26161122334455667788",
    "with_blanks.txt": b"9F2616 1122334455667788 8414 A0000000031010 9A06 240305",
    "odd_count.txt": b"9F26151122334455667788",
    "count_past_end.txt": b"9F269911223344",
    "not_a_count.txt": b"9F26XX1122334455667788",
    "tag_inside_value.txt": b"9F3708A1829F2616112233445566778884",
    "empty.txt": b"",
}

for corpus, files in CORPORA.items():
    folder = os.path.join(HERE, "corpus", corpus)
    os.makedirs(folder, exist_ok=True)
    for name, data in files.items():
        with open(os.path.join(folder, name), "wb") as out:
            out.write(data)
