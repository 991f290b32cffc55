#!/usr/bin/python3
# The serial I/O hub's DPT, DBT and DBS telegrams read by python3-nmea2,
# Debian's NMEA 0183 library, which was not written here: each parses with
# a valid checksum and carries the depth it was given.
#   check_hub_nmea2.py <qyserial_telegrams>
import subprocess
import sys

import pynmea2

out = subprocess.run([sys.argv[1]], check=True, capture_output=True, text=True).stdout
failures = []
count = 0
for line in out.splitlines():
    depth, transducer, sentence = line.split(' ', 2)
    depth, transducer = float(depth), float(transducer)
    try:
        msg = pynmea2.parse(sentence, check=True)
    except pynmea2.ParseError as e:
        failures.append('%s: %s' % (sentence, e))
        continue
    count += 1
    below = depth - transducer
    if msg.sentence_type == 'DPT':
        # The decimals follow the depth below the surface: 2, 1, then none.
        tolerance = 0.006 if depth < 1000 else 0.06 if depth < 10000 else 0.51
        ok = abs(float(msg.depth) - below) < tolerance and abs(float(msg.offset) - transducer) < 0.006
    elif msg.sentence_type == 'DBT':
        ok = abs(float(msg.depth_meters) - below) < 0.006
    elif msg.sentence_type == 'DBS':
        ok = abs(float(msg.depth_meter) - depth) < 0.006
    else:
        ok = False
    if not ok:
        failures.append('value: ' + sentence)
if count != 21:
    failures.append('%d telegrams read, 21 expected' % count)
for f in failures:
    print(f)
sys.exit(1 if failures else 0)
