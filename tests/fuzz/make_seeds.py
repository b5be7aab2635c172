#!/usr/bin/env python3
"""Writes the seed corpora in corpus/<target>/ (seed-*): the cases the unit
tests know, laid out as each target reads its input. Findings live beside
them as found-* files and are kept by hand."""
import os, struct

HERE = os.path.dirname(os.path.abspath(__file__))

def write(target, name, data):
    folder = os.path.join(HERE, 'corpus', target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, 'seed-' + name), 'wb') as f:
        f.write(data)

def text(b, limit=255):
    assert len(b) <= limit
    return bytes([len(b)]) + b

def i32(v): return struct.pack('<i', v)
def u32(v): return struct.pack('<I', v)

# section names: mode byte (odd: UTF-16LE), first name, then the second
for i, (a, b) in enumerate([(b'Ann', b'Ann Lee'), (b'1st', b'a:b'), (b'Admin', b'strip'), (b'Zantrovix', b'TopPosition'),
                            (b'a b_x', b'_x0041_'), (b'a$b&c', b'-a'), (b'J\xfcrgen', b'x_x'), (b' ', b'_x00zz_')]):
    write('section_names', 'latin-%d' % i, bytes([0]) + text(a) + b)
for i, (a, b) in enumerate([('\u4e2d\u6587', 'Ann Lee'), ('a\ud800', '\U0001F600x')]):
    enc = lambda s: s.encode('utf-16-le', 'surrogatepass')
    write('section_names', 'wide-%d' % i, bytes([1]) + text(enc(a)) + enc(b))

# key plans: keyboard byte (0 US, 1 German, 2 French, 3 US with double-byte
# code page; 4 Caps Lock on; 8 no focus window), strip, three tokens, barcode
def named(index, ctrl=0): return bytes([index, ctrl])
def custom(b, ctrl=0): return bytes([0x80, ctrl]) + text(b, 8)
NONE, ENTER, TAB, SPACE, LEFT, RIGHT, UP, DOWN = range(8)
plans = {
    'defaults': (0, 0, named(NONE), named(ENTER), named(NONE), b'4006381333931'),
    'strip-two-tab-enter': (0, 2, custom(b'#', 1), named(TAB), named(ENTER), b'Vask\tScan\r 1'),
    'caps-on': (4, 1, named(NONE, 1), named(LEFT), named(DOWN, 1), b'xa\t\x80\xffz'),
    'german-at': (1, 0, custom(b'@', 1), custom(b'y', 1), named(SPACE), b'yz@\x80'),
    'french-letters': (2, 0, custom(b'a', 1), custom(b'\xe9'), named(RIGHT, 1), b'azerty 12'),
    'double-byte': (3, 0, custom(b'\x82\xa0z'), custom(b'\x82'), custom(b'', 1), b'\x82\xa0abc'),
    'no-focus-window': (8, -1, named(UP), custom(b'<Enter>'), custom(b'\n', 1), bytes(range(256))),
    'strip-16-bits': (0, 0x10001, named(ENTER, 1), named(NONE), named(NONE), b'0123'),
}
for name, (kb, strip, p, s1, s2, code) in plans.items():
    write('key_plans', name, bytes([kb]) + i32(strip) + p + s1 + s2 + code)

# trace texts: strip, three tokens each with a Ctrl byte, window title, time,
# 316-byte device record, trace length / added / limit, barcode
def record(bt_name=b'', port=b'', device=b'', kind=0, address=b'\0' * 6):
    r = bytearray(316)
    r[0:6] = address
    r[6:6 + len(bt_name)] = bt_name
    r[260:260 + len(port)] = port
    r[300:300 + len(device)] = device
    r[312:316] = struct.pack('<i', kind)
    return bytes(r)
traces = {
    'serial': (0, b'None', 0, b'<ENTER>', 0, b'None', 0, b'Notepad', record(port=b'\\\\.\\COM3', device=b'A1B2C3'),
               (10, 20, 2000000), b'4006381333931'),
    'bluetooth-controls': (2, b'#', 1, b'<TAB>', 1, b'None', 1, b'Trace',
                           record(bt_name=b'Vantu BT', kind=1, address=b'\x00\x1a\x7d\xda\x71\x13'),
                           (1999990, 20, 2000000), bytes(range(32)) + b'\x7f\x80\xff'),
    'full-fields': (-3, b'x' * 16, 0, b'', 1, b'<Enter>', 0, b'T' * 120,
                    record(bt_name=b'N' * 254, port=b'com1com' * 6, device=b'D' * 12, kind=2, address=b'\xff' * 6),
                    (0, 2000001, 2000000), b'\x00' * 300),
}
for name, (strip, p, pc, s1, s1c, s2, s2c, title, rec, drop, code) in traces.items():
    data = i32(strip) + text(p, 16) + bytes([pc]) + text(s1, 16) + bytes([s1c]) + text(s2, 16) + bytes([s2c])
    data += text(title) + bytes([12, 34, 56]) + rec + u32(drop[0]) + u32(drop[1]) + u32(drop[2]) + code
    write('trace_texts', name, data)

# run value: a byte parting stored value and command line
for i, (value, line) in enumerate([
        (b'"C:\\Program Files\\Brontel Vask\\VaskSW.exe"', b'"C:\\Program Files\\Brontel Vask\\VaskSW.exe" '),
        (b'C:\\Vask\\VaskSW.exe', b'  C:\\Vask\\VaskSW.exe  '), (b'""x""', b'"a"b"" c'), (b'"', b'" "  "'),
        (b'x"', b'\tx\t'), (b'"x', b'')]):
    write('run_value', 'case-%d' % i, bytes([len(value)]) + value + line)

# settings values: pairs of element index (file order) and text
elements = ['strip', 'PrefixChar', 'PrefixCharCtrl', 'SuffixFirstChar', 'SuffixFirstCharCtrl', 'SuffixSecondChar',
            'SuffixSecondCharCtrl', 'Activate', 'Minimize', 'Name', 'Company', 'PathInfo', 'DeviceInfo', 'mode',
            'ActivatedScannerMode', 'FromPort', 'ToPort', 'LeftPosition', 'TopPosition']
def take(name, value): return bytes([elements.index(name)]) + text(value)
write('settings_values', 'integers', take('strip', b'5') + take('FromPort', b' 7 \r\n') + take('ToPort', b'+-1') +
      take('LeftPosition', b'2147483648') + take('TopPosition', b'-2147483648') + take('mode', b'9x') +
      take('Activate', b'') + take('Minimize', b'+1'))
write('settings_values', 'texts', take('PrefixChar', b'<ENTER>') + take('SuffixFirstChar', b'None') +
      take('Name', b' ') + take('DeviceInfo', b'Device ID: A1B2C3 on Com  3.') + take('PathInfo', b'C:\\Vask\\VaskSW.exe'))
write('settings_values', 'doctype-utf8', b'<?xml version="1.0"?><!doctype Zantrovix [<!ENTITY a "a">]><Zantrovix/>')
write('settings_values', 'doctype-utf16', '\ufeff<!DocType x><x/>'.encode('utf-16-le'))
write('settings_values', 'doctype-utf32', '<!DOCTYPE x><x/>'.encode('utf-32-be'))

# sheet placement: stored left and top, width, height, title bar height, work areas
def areas(*rects): return b''.join(i32(v) for r in rects for v in r)
for name, (x, y, w, h, bar, rects) in {
        'default-on-one-monitor': (250, 200, 400, 300, 23, [(0, 0, 1920, 1040)]),
        'monitor-gone': (2500, 200, 400, 300, 23, [(0, 0, 1920, 1040)]),
        'left-monitor': (-1500, 100, 400, 300, 23, [(0, 0, 1920, 1040), (-1600, 0, 0, 860)]),
        'larger-than-area': (100, 100, 3000, 2000, 23, [(0, 0, 1024, 738)]),
        'int-extremes': (-2147483648, 2147483647, 2147483647, 1, 255,
                         [(-2147483648, -2147483648, 2147483647, -2147483647), (1, 1, 2, 2)]),
        'no-monitor': (250, 200, 400, 300, 23, []),
}.items():
    write('sheet_place', name, i32(x) + i32(y) + i32(w) + i32(h) + bytes([bar]) + areas(*rects))

# the simulator's state file
scanner = ('scanner id=%d name=%s transport=%s plugged=1 port=%s device-id=%s baud=1 bt-name=%s address=%s kind=1 '
           'fault-open=0 fault-idmode=0 fault-count=0 fault-close=0 delay-open=0 delay-idmode=0 delay-download=0 '
           'delay-count=0 delay-fetch=0 delay-close=0 next-transfer=1 transfer-left=0 stored=3 ready=2 delivered=1 '
           'stored-bytes=30 ready-bytes=20 delivered-bytes=10\n')
state = ('vask-sim-state 1\nsettings version=3 next-handle=2 next-scanner=3 find-fault=0 breaches-dropped=0\n'
         'info-fault pass=1 result=536936513\n' +
         scanner % (1, 'demo', 'serial', 'COM3', 'A1B2C3', '', '00:00:00:00:00:00') +
         scanner % (2, 'bt', 'bluetooth', '', '', 'BT%20bt', '00:1a:7d:da:71:13') +
         'handle value=1 scanner=1 pid=42 start=1234\nbreach: x\nbreach text=closed%20handle\n')
write('sim_state', 'two-scanners', state.replace('breach: x\n', '').encode())
write('sim_state', 'damaged-line', state.encode())
write('sim_state', 'empty-state', b'vask-sim-state 1\n')
write('sim_state', 'old-without-delays', (state.replace('breach: x\n', '')
      .replace(' delay-open=0 delay-idmode=0 delay-download=0 delay-count=0 delay-fetch=0 delay-close=0', '')).encode())

# scan log rows: a length byte (file bytes / 8), that file's text, then fields of rows to write
log_file = ('\ufeffKey,Time,Barcode,Outcome,Window,Length,Keys\r\n'
            'r1-1,2026-12-08T08:16:09+01:00,4006381333931,fetched,,13,\r\n'
            'r1-1,2026-12-08T08:16:09+01:00,4006381333931,typing,Orders,13,\r\n'
            'r1-2,2026-12-08T08:16:10+01:00,"\'=1+2",partly typed,"Sheet1, ""Q4""",4,2 of 5\r\n'
            'r1-3,2026-12-08T08:16:11+01:00,"cut').encode('utf-8')
log_file += b' ' * (-len(log_file) % 8)
def field(value): return bytes([len(value)]) + value
row = (field(b'r2-7') + field(b'2026-12-08T00:10:00+01:00') + field(b'=HYPERLINK("x","y")') + field(b'partly typed') +
       field(b'@Orders\r\n') + (13).to_bytes(4, 'little') + (4).to_bytes(2, 'little') + bytes([9]))
write('scan_log_rows', 'file-and-rows', bytes([len(log_file) // 8]) + log_file + row + row)
write('scan_log_rows', 'old-six-columns', bytes([8]) + b'Key,Time,Barcode,Outcome,Window,Length\r\nr0-1,t,B,fetched,,1\r\n'[:64] + row)

# rule text: whole texts, good lines and bad ones
rule_texts = {
    'site-rules': rb'''# site rules
encoding automatic
control GS key TAB
control CR nothing
if begins "01" then gs1-parentheses
if length 8..14 then strip-end 1; add-after key TAB
if pattern "^(\d+)-(\d+)$" then replace-pattern "$2$1"
if ends "\x1D" then strip-end 1 and continue
if contains "TEST" then skip
always add-before key ctrl ENTER; add-after "\t\"\\"
''',
    'every-form': rb'''encoding ansi
control NUL text "\x00\xFF"
control DEL key ctrl LEFT
If Contains "x" Then replace "a" with ""; add-before key SPACE and continue
if gs1 then gs1-parentheses; strip-start 3
if pattern "\d\.\\t\\x41\\\"\\\\" then replace-pattern "(\w)" with "$1$&$$"
always skip
''',
    'errors': b'if begins 01 then skip\nif begins "01 then skip\r\nif length 14..8 then skip\n'
              b'always add-after key HOME\nif pattern "(\\d+" then skip\nif contains "\\q" then skip\n'
              b'control TAB nothing\nencoding latin-1\nif gs1 then replace-pattern "x"\n'
              b'always add-after "\xc3\xa4\xc3\xb6" x\nif contains "\\\xc3\xa9" then skip\n',
}
for name, data in rule_texts.items():
    write('rule_text', name, data)

# rule engine: encoding; control choices (byte, kind, text, key index, ctrl);
# rules (condition kind, text, min, max, continue, actions (kind, count,
# find, text, key index, ctrl)); then the barcode
AS_TODAY, ANSI, UTF8, AUTO = range(4)
C_AS_TODAY, C_NOTHING, C_TEXT, C_KEY = range(4)
ALWAYS, BEGINS, ENDS, CONTAINS, LENGTH, PATTERN, GS1 = range(7)
STRIP_START, STRIP_END, REPLACE, REPLACE_PATTERN, ADD_BEFORE, ADD_AFTER, GS1_PARENS, SKIP = range(8)
def choice(byte, kind, txt=b'', key=NONE, ctrl=0): return bytes([byte, kind]) + text(txt, 16) + bytes([key, ctrl])
def action(kind, count=0, find=b'', txt=b'', key=NONE, ctrl=0):
    return bytes([kind, count]) + text(find, 32) + text(txt, 32) + bytes([key, ctrl])
def rule(kind, txt=b'', low=0, extra=0, cont=0, actions=()):
    return bytes([kind]) + text(txt, 32) + bytes([low, extra, cont, len(actions)]) + b''.join(actions)
def engine(encoding, choices, rules, barcode):
    return bytes([encoding, len(choices)]) + b''.join(choices) + bytes([len(rules)]) + b''.join(rules) + barcode
gs1 = b'0109501101020917\x1d10ABC123\x1d2112345'
write('rule_engine', 'identity', engine(AS_TODAY, [], [], bytes(range(256))))
write('rule_engine', 'gs1-tab', engine(AUTO, [choice(0x1d, C_KEY, key=TAB)],
      [rule(BEGINS, b'01', actions=[action(GS1_PARENS)], cont=1), rule(ALWAYS, actions=[action(ADD_AFTER, key=ENTER, ctrl=1)])],
      gs1))
write('rule_engine', 'pattern-swap', engine(UTF8, [choice(13, C_NOTHING), choice(32, C_TEXT, b'\xc3\xa9\x1d')],
      [rule(PATTERN, rb'^(\d+)-(\d+)', actions=[action(REPLACE_PATTERN, find=rb'^(\d+)-(\d+)', txt=b'$2$1'),
                                                  action(STRIP_END, 1), action(ADD_BEFORE, txt=b'\t')])],
      b'123-45\x7f\r'))
write('rule_engine', 'length-skip', engine(ANSI, [choice(9, C_KEY, key=TAB, ctrl=1)],
      [rule(LENGTH, low=3, extra=2, actions=[action(SKIP)]), rule(CONTAINS, b'\x82', actions=[action(REPLACE, find=b'a', txt=b'bb')])],
      b'\x82\xa0a\tb\x82\x1d\xb1\x80'))
write('rule_engine', 'runaway', engine(AS_TODAY, [], [rule(PATTERN, b'(a*)*b', actions=[action(SKIP)]),
      rule(ENDS, b'a', actions=[action(REPLACE, find=b'a', txt=b'a' * 32)])], b'a' * 200))
