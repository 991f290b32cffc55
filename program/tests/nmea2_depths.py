#!/usr/bin/python3
# Depth sentences read by python3-nmea2, Debian's NMEA 0183 library, which
# was not written here: each line of the file must parse with a valid
# checksum; printed one a line as "<type> <numbers...>" (DPT: depth below
# the transducer and offset; DBT and DBS: metres).
#   nmea2_depths.py <file of sentences>
import sys

import pynmea2

failed = False
with open(sys.argv[1]) as sentences:
    for line in sentences:
        line = line.rstrip('\r\n')
        try:
            msg = pynmea2.parse(line, check=True)
        except pynmea2.ParseError as e:
            print('invalid %s: %s' % (line, e))
            failed = True
            continue
        if msg.sentence_type == 'DPT':
            print('DPT %s %s' % (float(msg.depth), float(msg.offset)))
        elif msg.sentence_type == 'DBT':
            print('DBT %s' % float(msg.depth_meters))
        elif msg.sentence_type == 'DBS':
            print('DBS %s' % float(msg.depth_meter))
        else:
            print('unexpected %s' % line)
            failed = True
sys.exit(1 if failed else 0)
