#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets: small, valid exchanges in the
input format of each target (see the comment at the head of each *Target.cpp).
Run it from anywhere; it rewrites tests/fuzz/corpus/<target>/ beside itself."""

import os
import shutil
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
CAN, SOH, STX, EOT = 0x18, 0x01, 0x02, 0x04
ACCESS = "кдл".encode("cp1251")


def bursts(*parts):
    """The unit's answers, one per wait of the program; b"" is silence."""
    out = b""
    for part in parts:
        if isinstance(part, str):
            part = part.encode("cp1251")
        while len(part) > 255:
            out += bytes([255]) + part[:255]
            part = part[255:]
        out += bytes([len(part)]) + part
    return out


def echo(line):
    """The unit echoes a command line; its CR comes back as CR LF."""
    return line.replace("\r", "\r\n")


# ---- replies: job case, session start, then the unit's bursts ----

def get(code, reply, prompt="PC SYS>"):
    return [echo("GET\r") + "N", echo(f"{code}\r") + reply + "\r\n" + prompt]


def set_(code, value, reply="OK", prompt="PC SYS>"):
    return [echo("SET\r") + "N", echo(f"{code}\r") + "=", echo(f"{value}\r") + reply + "\r\n" + prompt]


MENU_LINES = "TC=7\r\nMSG=menu.wav 16000\r\n0-\r\n1M2\r\n2N101\r\n3L200\r\n4G200\r\n5-\r\n6-\r\n7-\r\n8-\r\n9-\r\n"
LIST = echo("GETALL\r") + "100\r\n101\r\n200-219\r\nPC LIST>"
LIST_END = [echo("кдл\r"), "\r\nPC LIST>"]
MAIL = echo("GETALL\r") + "N=101 S=900\r\nN=102 S=600\r\nFREE=2100\r\nPC MAIL>"


def menu_get(code, msg="MSG=menu.wav 16000"):
    return [echo("GET\r") + "N", echo(f"{code}\r") + MENU_LINES.replace("MSG=menu.wav 16000", msg) + "PC MENU>"]


def menu_set(code):
    out = [echo("SET\r") + "N", echo(f"{code}\r") + "TC", echo("7\r") + "0"]
    items = ["-", "-", "-", "N101", "-", "-", "-", "-", "-", "-"]
    for key, item in enumerate(items):
        nxt = str(key + 1) if key < 9 else "OK\r\nPC MENU>"
        out.append(echo(item + "\r") + nxt)
    return out


# The jobs of ReplyTarget.cpp's table, in its order.
REPLIES = {
    0: [get(15, "=42"), get(15, "=-7"), get(15, "=\r\n"), get(15, "ERROR")],
    1: [get(20, "=0123"), get(20, "=")],
    2: [get(0, "=1234")],
    3: [get(10, "=2"), get(10, "=5"), get(10, "=-1")],
    4: [get(200, "=730"), get(200, "=2359")],
    5: [get(300, "=1"), get(300, "=2")],
    6: [get(999, "=10404")],
    7: [get(50, "=10"), get(50, "=0"), get(50, "=11")],
    8: [get(60, "MSG=wait.wav 24000"), get(60, "MSG="), get(60, "MSG=x 12ab")],
    9: [["TRANSFER_RESULT:OK\r\nPC SYS>"] + get(61, "MSG=new.wav 8000"),
        ["TRANSFER_RESULT:YMODEM_ERR(3)\r\nPC SYS>"] + get(61, "MSG="),
        ["TRANSFER_RESULT:YMODEM_ERR(x)\r\n"] + get(61, "MSG=")],
    10: [menu_get(5), menu_get(5, "MSG=")],
    11: [["TRANSFER_RESULT:OK\r\nPC MENU>"] + menu_get(21)],
    12: [[LIST] + LIST_END, [echo("GETALL\r") + "PC LIST>"] + LIST_END],
    13: [[MAIL], [echo("GETALL\r") + "FREE=725\r\nPC MAIL>"]],
    14: [[echo("GET\r") + "311224235959\r\nPC TIME>"], [echo("GET\r") + "31122423595\r\n"], [echo("GET\r"), ""]],
    15: [set_(16, -1234) + get(16, "=-1234"), set_(16, -1234, "ERROR") + get(16, "=0"),
         [echo("SET\r") + "N", echo("16\r"), "", "ERROR\r\n"] + get(16, "=0")],
    16: [set_(21, "*12#") + get(21, "=*12#")],
    17: [set_(10, 1) + get(10, "=1")],
    18: [[echo("SET\r") + "T", echo("050309070809\r") + "OK\r\nPC TIME>"],
         [echo("SET\r") + "T", echo("050309070809\r") + "ERROR\r\n"]],
    19: [[echo("CLEAR\r") + "N", echo("62\r") + "OK\r\nPC SYS>"] + get(62, "MSG=")],
    20: [[echo("DLMSG\r") + "N", echo("63\r") + "START"]],
    21: [[echo("SET\r") + "N", echo("64\r")]],
    22: [menu_set(6) + menu_get(6)],
    23: [[echo("DELMSG\r") + "N", echo("7\r") + "OK\r\nPC MENU>"] + menu_get(7, "MSG=")],
    24: [[echo("ULMSG\r") + "N", echo("8\r")]],
    25: [[echo("DLMSG\r") + "N", echo("9\r") + "START"]],
    26: [[echo("ADD\r") + "N", echo("200-219\r") + "OK\r\nPC LIST>", LIST] + LIST_END,
         [echo("ADD\r") + "N", echo("200-219\r") + "NO_FREE_MEM\r\n"]],
    27: [[echo("REMOVE\r") + "N", echo("200-219\r") + "OK\r\nPC LIST>", LIST] + LIST_END],
    28: [[echo("CREATE\r") + "N", "", echo("200\r") + "S", echo("900\r") + "OK\r\nPC MAIL>", MAIL],
         [echo("CREATE\r") + "N", "O_FREE_BOX\r\nPC MAIL>"]],
    29: [[echo("EDIT\r") + "N", "", echo("200\r") + "S", echo("900\r") + "OK\r\nPC MAIL>", MAIL]],
    30: [[echo("DELETE\r") + "N", echo("200\r") + "OK\r\nPC MAIL>", MAIL],
         [echo("DELETE\r") + "N", echo("200\r") + "NOT_FOUND\r\n"]],
}
MODES = {**{i: "PC SYS>" for i in range(0, 10)}, 10: "PC MENU>", 11: "PC MENU>", 12: "PC LIST>",
         13: "PC MAIL>", 14: "PC TIME>", 15: "PC SYS>", 16: "PC SYS>", 17: "PC SYS>", 18: "PC TIME>",
         19: "PC SYS>", 20: "PC SYS>", 21: "PC SYS>", 22: "PC MENU>", 23: "PC MENU>", 24: "PC MENU>",
         25: "PC MENU>", 26: "PC LIST>", 27: "PC LIST>", 28: "PC MAIL>", 29: "PC MAIL>", 30: "PC MAIL>"}
ENTER = {"PC SYS>": "SYS", "PC LIST>": "LIST", "PC MAIL>": "MAIL", "PC MENU>": "MENU", "PC TIME>": "TIME"}


def session(start, prompt):
    """What the unit says before the job when the session starts elsewhere."""
    enter = [echo(ENTER[prompt] + "\r") + prompt]
    if start == 1:
        return ["PC>"] + enter
    if start == 2:
        return [">", echo("PC\r") + "PC>"] + enter
    login = [echo("кдл\r"), "\r\nPassword:", "\r\nSYSTEM_MODE\r\n>", echo("PC\r") + "PC>"]
    return login + enter


def replies():
    seeds = {}
    for case, exchanges in REPLIES.items():
        for n, answers in enumerate(exchanges):
            seeds[f"job{case:02d}-{n}"] = bytes([case, 0]) + bursts(*answers)
        for start in (1, 2, 3):
            seeds[f"job{case:02d}-via{start}"] = bytes([case, start]) + bursts(
                *(session(start, MODES[case]) + exchanges[0]))
    seeds["login-refused"] = bytes([0, 3]) + bursts(echo("кдл\r"), "\r\nPassword:", "\r\nERROR\r\n", "\r\nPassword:")
    seeds["login-busy"] = bytes([0, 3]) + bursts(echo("кдл\r"), "\r\nPassword:", "\r\nBUSY\r\n")
    seeds["prompt-mismatch"] = bytes([0, 1]) + bursts("PC SYS>", echo("кдл\r"), "\r\nPassword:")
    return seeds


# ---- line: a script of primitive calls, then the unit's bursts ----

ECHO, WAIT, READ = 0, 1, 2


def script(calls):
    out = bytes([len(calls) - 1])
    for kind, text in calls:
        text = text.encode("cp1251") if isinstance(text, str) else text
        out += bytes([kind, len(text)]) + text
    return out


def line():
    long_tail = "x" * 1500
    return {
        "getset": script([(ECHO, "GET\r"), (WAIT, "N"), (ECHO, "15\r"), (READ, "\r")])
        + bursts("GE", "T\r\nN", "15\r\n=12\r\nPC SYS>"),
        "split-prompt": script([(ECHO, "\r"), (WAIT, "PC SYS>")]) + bursts("\r\n", "PC S", "YS>"),
        "kept-999": script([(ECHO, "A\r"), (WAIT, "Z"), (READ, "\r")]) + bursts("A\r\nZ" + long_tail + "\r"),
        "already-there": script([(ECHO, "GET\r"), (WAIT, "N"), (WAIT, "N"), (READ, ">")])
        + bursts("GET\r\nNN", "PC>"),
        "silence": script([(ECHO, "SET\r"), (READ, "="), (READ, "\r")]) + bursts("SET\r\n", "", "ERROR\r\n"),
        "feeds": script([(READ, "\r"), (READ, "\r")]) + bursts("\n\n\r\n", "\nx\n\r"),
    }


# ---- watcher: flags, strings, then the stream ----

def watcher():
    def seed(flags, strings, *stream):
        out = bytes([flags, len(strings)])
        for s in strings:
            out += bytes([len(s)]) + s
        return out + bursts(*stream)
    return {
        "prompts": seed(0, [b"pc sys>", b"PC>"], "PC S", "YS>\r\nPC>"),
        "carets": seed(1, [b"OK^M", b"^^x", b"a^"], "OK\r a^"),
        "nul-blank": seed(0, [b"a b"], b"a\x00b"),
        "overlap": seed(1, [b"aa"], "aaa"),
        "change": seed(2, [b"X", b"Y"], "XYXY"),
    }


# ---- ymodem: flags, then what the sender says ----

def crc16(data):
    crc = 0
    for b in data:
        crc ^= b << 8
        for _ in range(8):
            crc = ((crc << 1) ^ 0x1021) if crc & 0x8000 else crc << 1
            crc &= 0xFFFF
    return crc


def block(number, data, size, crc=True):
    field = data[:size].ljust(size, b"\0")
    check = struct.pack(">H", crc16(field)) if crc else bytes([sum(field) & 0xFF])
    return bytes([SOH if size == 128 else STX, number & 0xFF, 255 - (number & 0xFF)]) + field + check


def transfer(name, content, size=None, end=True, block_size=1024):
    size = len(content) if size is None else size
    declared = size if isinstance(size, bytes) else str(size).encode()
    out = block(0, name + b"\0" + declared, 128)
    for n, at in enumerate(range(0, len(content), block_size), start=1):
        out += block(n, content[at:at + block_size], block_size)
    out += bytes([EOT])
    if end:
        out += block(0, b"", 128)
    return out


def ymodem():
    pattern = bytes(i * 7 & 0xFF for i in range(1500))
    return {
        "one-file": bytes([0]) + transfer(b"greet.wav", pattern),
        "streaming": bytes([1]) + transfer(b"greet.wav", pattern),
        "small-blocks": bytes([0x08]) + transfer(b"a.wav", pattern[:300], block_size=128),
        "one-byte": bytes([0]) + transfer(b"one", b"\x55"),
        "no-size": bytes([0]) + transfer(b"raw", pattern[:100], size=b""),
        "size-zero": bytes([0]) + transfer(b"empty", b"", size=0),
        "two-files": bytes([0x18]) + transfer(b"x.wav", pattern[:10], end=False) + transfer(b"y.wav", pattern[:20]),
        "taken-name": bytes([0]) + transfer(b"taken.wav", pattern[:50]),
        "link-name": bytes([0]) + transfer(b"link.wav", pattern[:50]),
        "folder-link": bytes([0]) + transfer(b"folder", pattern[:50]),
        "climbing": bytes([0]) + transfer(b"../../outside/evil.wav", pattern[:50]),
        "windows-path": bytes([0]) + transfer(b"C:\\voice\\..\\greet.wav", pattern[:50]),
        "dot-dot": bytes([0]) + transfer(b"..", pattern[:50]),
        "control-chars": bytes([0]) + transfer(b"a\x01b\x7f.wav", pattern[:50]),
        "repeated-block": bytes([0]) + block(0, b"r.wav\x00200", 128) + block(1, pattern, 1024) * 2 + bytes([EOT])
        + block(0, b"", 128),
        "bad-check": bytes([0x02]) + block(0, b"c.wav\x0010", 128) + block(1, pattern, 1024)[:-1] + b"\x00"
        + block(1, pattern, 1024) + bytes([EOT]) + block(0, b"", 128),
        "cancel": bytes([0]) + block(0, b"k.wav\x0010", 128) + bytes([CAN]),
    }


# ---- telnet: how the reads are cut, then what the server sends ----

IAC, DONT, DO, WONT, WILL, SB, SE = 255, 254, 253, 252, 251, 250, 240


def com_port(command, *value):
    """A COM port sub-negotiation, 0xFF in the value doubled."""
    body = b"".join(bytes([v, v]) if v == IAC else bytes([v]) for v in value)
    return bytes([IAC, SB, 44, command]) + body + bytes([IAC, SE])


def telnet():
    agree = bytes([IAC, DO, 0, IAC, WILL, 0, IAC, DO, 3, IAC, WILL, 3, IAC, DO, 44])
    return {
        "ser2net-login": bytes([0]) + agree + com_port(101, 0, 0, 0x4B, 0) + com_port(102, 8)
        + com_port(107, 0x30) + "кдл\r\nPassword:".encode("cp1251"),
        "all-ff-block": bytes([3]) + bytes([0x02, 1, 0xFE]) + bytes([IAC]) * 2048 + com_port(106, 0x60) + b"\x1a",
        "refused": bytes([5]) + bytes([IAC, DONT, 44, IAC, WONT, 0, IAC, DO, 24, IAC, WILL, 31]) + b"data",
        "cut-sub": bytes([1]) + bytes([IAC, SB, 44, 107, IAC, IAC, IAC, DO, 44]) + b"x" + bytes([IAC, SB, 77])
        + b"long" * 40 + bytes([IAC, SE, IAC, 241, IAC]),
        "flip-binary": bytes([7]) + bytes([IAC, DONT, 0, IAC, DO, 0, IAC, WONT, 0, IAC, WILL, 0]) * 3 + b"z",
    }


def main():
    corpora = {"replies": replies(), "line": line(), "watcher": watcher(), "ymodem": ymodem(), "telnet": telnet()}
    for target, seeds in corpora.items():
        folder = os.path.join(HERE, "corpus", target)
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        for name, data in seeds.items():
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)


if __name__ == "__main__":
    main()
