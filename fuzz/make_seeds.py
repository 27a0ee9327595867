#!/usr/bin/env python3
"""Writes the seed corpora under fuzz/corpus/: a handful of inputs per target,
each a case a person would try first. Run it again after changing an input
layout (send_command_fuzzer.cpp, ini_file_fuzzer.cpp describe theirs)."""

import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    if isinstance(data, str):
        data = data.encode("utf-8")
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def exchange(mode=0, attempts=1, budget=250, command=b"+T01", per_write=0, out_queue=0,
             extra=0, fail_read=0, fail_write=0, fail_count=0, clock=0, arrivals=()):
    """One SendCommand case; arrivals are (ms after the previous, bytes, line breaks)."""
    out = struct.pack("<BBH", mode, attempts & 0xFF, budget & 0xFFFF)
    out += bytes([len(command)]) + command
    out += struct.pack("<BHBBBBI", per_write, out_queue, extra, fail_read, fail_write,
                       fail_count, clock)
    for after, data, hang_up in arrivals:
        out += struct.pack("<HH", after, len(data) | (0x8000 if hang_up else 0)) + data
    return out


KEY_REPLY = b"\r\n>0102030405060708\r\nOK\r\n"

# --- send_command_fuzzer ----------------------------------------------------
T = "send_command_fuzzer"
write(T, "probe_answered_at_once", exchange(arrivals=[(20, KEY_REPLY, False)]))
write(T, "ok_in_second_slice", exchange(budget=500, command=b"+s",
                                        arrivals=[(150, b">3F01\r\nOK\r\n", False)]))
write(T, "ok_split_across_slices", exchange(command=b"+H01",
                                            arrivals=[(60, b"\r\n>00", False),
                                                      (30, b"3132" + b"0" * 28 + b"\r\nO", False),
                                                      (40, b"K\r\n", False)]))
write(T, "silent_panel_two_attempts", exchange(attempts=2, budget=500))
write(T, "late_answer_waiting_before_send", exchange(arrivals=[(0, b"OK\r\n", False),
                                                               (30, KEY_REPLY, False)]))
write(T, "long_answer_cut_at_254", exchange(arrivals=[(10, b"x" * 300 + b"OK", False)]))
write(T, "answer_overfills_the_buffer", exchange(budget=500, arrivals=[(10, b"a" * 700, False),
                                                                    (150, b"b" * 600, False),
                                                                    (100, b"OK", False)]))
write(T, "presented_key_after_3s", exchange(command=b"+T00", budget=5000,
                                            arrivals=[(3000, KEY_REPLY, False)]))
write(T, "adapter_pulled_out", exchange(attempts=3, arrivals=[(120, b"", True)]))
write(T, "stalled_line_with_nul_bytes", exchange(mode=2, per_write=0xFF,
                                                 arrivals=[(5, b"O\x00K\x00OK", False)]))
write(T, "clock_wraps_during_exchange", exchange(clock=0xFFFFFFA0,
                                                 arrivals=[(90, b"..", False),
                                                           (90, KEY_REPLY, False)]))
write(T, "late_ok_after_failed_attempt", exchange(attempts=2,
                                                  arrivals=[(350, b"OK\r\n", False),
                                                            (300, KEY_REPLY, False)]))
write(T, "babbling_line_between_attempts", exchange(attempts=3, budget=100,
                                                    arrivals=[(90, b".", False)] * 40))

# --- exchange_text_fuzzer ---------------------------------------------------
T = "exchange_text_fuzzer"
write(T, "key_reply", KEY_REPLY)
write(T, "marker_then_crlf", b"OK>\r\n")
write(T, "second_marker_is_data", b"x>a>b\r\nOK")
write(T, "crlf_only_before_marker", b"\r\n>abc")
write(T, "ok_across_zero", b"O\x00K O K ok OK")

# --- encodings_fuzzer -------------------------------------------------------
T = "encodings_fuzzer"
write(T, "flags", b"3F01")
write(T, "flags_mixed_case", b"0a0B")
write(T, "number_12", b"00" + b"3132" + b"0" * 28)
write(T, "no_number", b"00" + b"0" * 32)
write(T, "number_reply_text", b"\r\n>00" + b"2B" + b"0" * 30 + b"\r\nOK\r\n")
write(T, "bad_pair", b"00G1")

# --- settings_file_fuzzer ---------------------------------------------------
T = "settings_file_fuzzer"
full = ("key1=0102030405060708\nkey2=0000000000000000\nkey3=A1B2C3D4E5F60718\n"
        "key4=FFFFFFFFFFFFFFFF\nnumber1=+79001234567\nnumber2=\nnumber3=12\n"
        "number4=hex:C4EEEC00000000000000000000000000\nnumber5=+7\nnumber6=0\n"
        "dial1=1\ndial2=0\ndial3=1\ndial4=0\ndial5=0\ndial6=1\n"
        "day1=0\nday2=0\nday3=0\nday4=1\nday5=1\nday6=0\n")
write(T, "full_file", full)
write(T, "bom_comments_crlf", "\ufeff# panel at the shop\r\n\r\n" + full.replace("\n", "\r\n"))
write(T, "spaces_around", full.replace("=", " = ").replace("key1", "  key1"))
write(T, "missing_day6", full.replace("day6=0\n", ""))
write(T, "bad_flag", full.replace("dial1=1", "dial1=yes"))
write(T, "header_lower_case", "# orvex-gsm-cli 0.2.0\n# port: COM5\n" + full.lower())

# --- ini_file_fuzzer --------------------------------------------------------
T = "ini_file_fuzzer"


def ini(section, key, text):
    return bytes([len(section)]) + section + bytes([len(key)]) + key + text


write(T, "debug_true", ini(b"Main", b"Debug", b"[Main]\r\nDebug=True\r\n"))
write(T, "quoted_blanks", ini(b"main", b"DEBUG", b"[ Main ]\n Debug = ' TRUE '\n"))
write(T, "second_section", ini(b"Main", b"Debug", b"[Main]\nx=1\n[Other]\nDebug=0\n"
                                                  b"[MAIN]\nDebug=TRUE"))
write(T, "comments_and_cr", ini(b"Main", b"Debug", b"\xef\xbb\xbf;c\r[Main]\r;Debug=1\rDebug=\r"))

# --- text_codec_fuzzer ------------------------------------------------------
T = "text_codec_fuzzer"
write(T, "cp1251_all_bytes", bytes(range(256)))
write(T, "utf8_cyrillic", "Связь с охранной панелью")
write(T, "broken_utf8", b"\xd0\x00\xe2\x82\xc0\x80\xf4\x90\x80\x80\xed\xa0\x80")
