#!/usr/bin/python3
# Writes nmea2_sentences.txt: sentences built by python3-nmea2 (Debian's
# independent NMEA 0183 library), so that the decoder is tested on text it
# did not write itself. Run: /usr/bin/python3 make_nmea2_sentences.py
import pynmea2

rows = [
    pynmea2.GGA('GP', 'GGA', ('123519', '4807.038', 'N', '01131.000', 'E', '1', '08', '0.9', '545.4', 'M', '46.9', 'M', '', '')),
    pynmea2.GGA('GP', 'GGA', ('123520', '3356.123', 'S', '15112.500', 'W', '2', '03', '2.5', '12.0', 'M', '0.0', 'M', '', '')),
    pynmea2.GLL('GP', 'GLL', ('5957.1234', 'N', '01045.6789', 'E', '123521.00', 'A', 'A')),
    pynmea2.HDT('HE', 'HDT', ('274.07', 'T')),
    pynmea2.VTG('GP', 'VTG', ('054.7', 'T', '034.4', 'M', '005.5', 'N', '010.2', 'K', 'A')),
    pynmea2.ZDA('GP', 'ZDA', ('123456.5', '07', '12', '2026', '00', '00')),
    pynmea2.DBT('SD', 'DBT', ('40.5', 'f', '12.34', 'M', '6.75', 'F')),
]
with open('nmea2_sentences.txt', 'w') as f:
    for r in rows:
        f.write(str(r) + '\n')
