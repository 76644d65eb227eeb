#!/usr/bin/env python3
"""Writes the seed corpora of the Ingenico fuzz targets.

The answers are laid out here byte by byte, the way an Ingenico PIN pad sends them, without
the drivers' code: a mistake in the parsers then shows up as a disagreement, not as a copy.

Each seed starts with one flag byte that the targets read:
  bit 0  parse in fallback mode (vpModo 3)            (ObtenTracks only)
  bit 1  the rest is already text (spaced hex) rather than raw bytes that the target
         turns into spaced hex itself
For VerificaRespuesta the first byte picks the expected command code instead (see the
target). Run from anywhere: python3 tests/fuzz/make_ingenico_corpus.py
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))
RAW, TEXT = 0x00, 0x02
FALLBACK = 0x01

PAN = "4761739001010119"  # a test card number


def lrc(body):
    value = 0
    for b in body:
        value ^= b
    return value ^ 0x03


def frame(command, data):
    body = command + len(data).to_bytes(2, "big") + data
    return b"\x02" + body + b"\x03" + bytes([lrc(body)])


def packed(digits):
    if len(digits) % 2:
        digits += "F"
    return bytes.fromhex(digits)


def tlv(tag, value_hex):
    value = bytes.fromhex(value_hex)
    return bytes.fromhex(tag) + bytes([len(value)]) + value


def ic0_answer(status, track2_digits="", track1="", emv=b""):
    """An IC0 answer; positions count from 1 at the first length byte."""
    t2 = packed(track2_digits) if track2_digits else b""
    t1 = track1.encode("ascii")
    data = bytearray()
    data.append(status)                      # position 3
    data += bytes(19)                        # 4-22
    data.append(len(t2))                     # 23
    data += t2.ljust(20, b"\x00")            # 24-43
    data.append(len(t1))                     # 44
    data += t1.ljust(94, b"\x00")            # 45-138
    data += len(emv).to_bytes(2, "big")      # 139-140
    data += emv                              # 141 on
    return frame(b"IC0", bytes(data))


CHIP_EMV = b"".join([
    tlv("9F02", "000000015050"), tlv("9A", "251206"), tlv("5F2A", "0484"),
    tlv("9F26", "1A2B3C4D5E6F7081"), tlv("9F27", "80"), tlv("95", "0000008000"),
    tlv("9C", "00"), tlv("82", "3900"), tlv("84", "A0000000031010"), tlv("9F36", "0012"),
    tlv("9F37", "A1B2C3D4"), tlv("9F10", "06010A03A00000"), tlv("5F34", "01"),
    tlv("9F1A", "0484"), tlv("9F33", "E0F8C8"), tlv("9F34", "1E0300"), tlv("9F35", "22"),
    tlv("9F41", "00000001"), tlv("5F25", "200101"), tlv("9F21", "183449"),
])

TRACK1 = "B" + PAN + "^PRUEBA/TARJETA^2512201100000000000000000000"


def spaced(raw):
    return "".join("%02X " % b for b in raw).encode("ascii")


def write(target, name, content):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as out:
        out.write(content)


def main():
    chip = ic0_answer(0x00, PAN + "D2512201100000000", TRACK1, CHIP_EMV)
    stripe = ic0_answer(0x06, PAN + "D2512101100000000", TRACK1.replace("2512201", "2512101"))
    chip_swiped = ic0_answer(0x06, PAN + "D2512201100000000", TRACK1)
    fallback = ic0_answer(0x05, PAN + "D2512201100000000", TRACK1)
    short_t2 = ic0_answer(0x06, PAN + "D2512201", "")  # exactly 12 bytes of track 2
    tracks = {
        "chip_emv": bytes([RAW]) + chip,
        "chip_emv_text": bytes([TEXT]) + spaced(chip),
        "stripe_only": bytes([RAW]) + stripe,
        "chip_card_swiped": bytes([RAW]) + chip_swiped,
        "fallback_mode3": bytes([RAW | FALLBACK]) + fallback,
        "track2_twelve_bytes": bytes([RAW]) + short_t2,
        "chip_cut_short": bytes([RAW]) + chip[:200],
        "no_ic0": bytes([TEXT]) + b"43 46 30 00 00 ",
    }
    for status in range(1, 8):
        tracks["status_%02d" % status] = bytes([RAW]) + ic0_answer(status)
    for name, content in tracks.items():
        write("ingenico_obten_tracks", name, content)

    tags = {
        "chip_emv": bytes([RAW]) + CHIP_EMV,
        "chip_emv_text": bytes([TEXT]) + spaced(CHIP_EMV),
        "compact_text": bytes([TEXT]) + CHIP_EMV.hex().upper().encode("ascii"),
        "date_only": bytes([RAW]) + tlv("9A", "251206"),
        "tag_at_end": bytes([TEXT]) + b"9F2608AABB",
    }
    for name, content in tags.items():
        write("ingenico_tags_validos", name, content)

    kbd = frame(b"KBD", bytes([0x00]) + b"123")
    kbd4 = frame(b"KBD", bytes([0x00]) + b"4567")
    cvv = {
        "kbd_three_digits": bytes([RAW]) + kbd,
        "kbd_four_digits_text": bytes([TEXT]) + spaced(kbd4),
        "kbd_empty": bytes([RAW]) + frame(b"KBD", b""),
        "kbd_cut_short": bytes([RAW]) + kbd[:7],
    }
    for name, content in cvv.items():
        write("ingenico_obten_cvv2", name, content)

    # First byte: index of the expected code in the target's table (IC0 is 5, IC1 is 6).
    verifica = {
        "ic0_answer_for_ic0": bytes([5]) + chip,
        "ic0_answer_for_ic1": bytes([6]) + chip,
        "kbd_answer": bytes([3]) + kbd,
        "serial_answer": bytes([1]) + frame(b"CF0", b"\x00" * 8 + b"IPP32012345678"),
        "ack_then_frame": bytes([0]) + b"\x06" + frame(b"CF1", b""),
        "etx_without_lrc": bytes([6]) + frame(b"IC1", b"\x00")[:-1],
    }
    for name, content in verifica.items():
        write("ingenico_verifica_respuesta", name, content)


if __name__ == "__main__":
    main()
