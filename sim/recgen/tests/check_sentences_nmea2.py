#!/usr/bin/python3
# The generator's sentences checked by python3-nmea2, Debian's NMEA 0183
# library, which was not written here: a south-west track with a stretch
# without fix, GGA, GLL and LLQ sentences.
#   check_sentences_nmea2.py <zvrecgen> <scratch folder>
import os
import struct
import subprocess
import sys

import pynmea2

zvrecgen, scratch = sys.argv[1], sys.argv[2]
os.makedirs(scratch, exist_ok=True)
raw = os.path.join(scratch, 'southwest.raw')
subprocess.run([zvrecgen, 'out=' + raw, 'pings=40', 'channels=38', 'samples=10', 'lat=-33.9', 'lon=-151.2',
                'course=225', 'gll=1', 'llq=1', 'nofix-first=10', 'nofix-last=19', 'annotate-every=0'],
               check=True, stdout=subprocess.DEVNULL)

# The recorded datagrams: u32 length, body, u32 length; a sentence is an
# "NME0" body with its text from byte 12.
sentences = []
data = open(raw, 'rb').read()
at = 0
while at + 4 <= len(data):
    (length,) = struct.unpack_from('<I', data, at)
    body = data[at + 4:at + 4 + length]
    if body[:4] == b'NME0':
        sentences.append(body[12:].split(b'\0')[0].decode('ascii'))
    at += length + 8

failures = []
fixes = {'GGA': [], 'GLL': [], 'LLQ': []}
for s in sentences:
    kind = s[3:6]
    if kind == 'LLQ':
        # No class of the library knows LLQ: its checksum and fields.
        body, _, checksum = s[1:].partition('*')
        if '%02X' % pynmea2.NMEASentence.checksum(body) != checksum:
            failures.append('checksum: ' + s)
        fields = body.split(',')
        if len(fields) != 12:
            failures.append('fields: ' + s)
        fixes['LLQ'].append(fields[3] != '' and fields[5] != '')
        continue
    try:
        m = pynmea2.parse(s, check=True)
    except pynmea2.ParseError as e:
        failures.append('%s: %s' % (s, e))
        continue
    if kind == 'GGA':
        fix = m.gps_qual != 0
        fixes['GGA'].append(fix)
        if fix and not (m.lat_dir == 'S' and m.lon_dir == 'W' and m.latitude < -33 and m.longitude < -151):
            failures.append('not south-west: ' + s)
        if not fix and (m.lat != '' or m.lon != ''):
            failures.append('a position without fix: ' + s)
    elif kind == 'GLL':
        fix = m.status == 'A'
        fixes['GLL'].append(fix)
        if fix != (m.lat != ''):
            failures.append('status and position disagree: ' + s)

expected = [not (10 <= ping <= 19) for ping in range(40)]
for kind, seen in fixes.items():
    if seen != expected:
        failures.append('%s: fixes %s' % (kind, seen))
if failures:
    print('\n'.join(failures))
    sys.exit(1)
print('%d sentences checked' % len(sentences))
