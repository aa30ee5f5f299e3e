#!/usr/bin/python3
"""Reads an iCalendar document with a real parser and prints one line per
event in document order: the start date (YYYY-MM-DD), a tab, the UID, a tab,
the summary. Fails (exit 1, reason on stderr) when the document breaks the
rules a calendar program relies on: CRLF line ends, lines of at most 75
octets, VERSION 2.0 and PRODID, and per event a UID, a DTSTAMP, an all-day
DTSTART, a DTEND the day after, and a SUMMARY."""

import datetime
import sys

import icalendar


def fail(reason):
    print(reason, file=sys.stderr)
    sys.exit(1)


def main(path):
    raw = open(path, 'rb').read()
    lines = raw.split(b'\r\n')
    if lines[-1] != b'' or any(b'\n' in line for line in lines):
        fail('lines must end with CRLF')
    if any(len(line) > 75 for line in lines):
        fail('a line is longer than 75 octets')
    calendar = icalendar.Calendar.from_ical(raw)
    if calendar.name != 'VCALENDAR' or str(calendar.get('VERSION')) != '2.0' or not calendar.get('PRODID'):
        fail('no VCALENDAR with VERSION 2.0 and a PRODID')
    for event in calendar.walk('VEVENT'):
        for required in ('UID', 'DTSTAMP', 'DTSTART', 'DTEND', 'SUMMARY'):
            if required not in event:
                fail('an event without ' + required)
        start, end = event['DTSTART'].dt, event['DTEND'].dt
        if isinstance(start, datetime.datetime) or end != start + datetime.timedelta(days=1):
            fail('not an all-day event: %s .. %s' % (start, end))
        print('%s\t%s\t%s' % (start.isoformat(), event['UID'], event['SUMMARY']))


if __name__ == '__main__':
    main(sys.argv[1])
