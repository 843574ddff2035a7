#!/usr/bin/env python3
"""Lists the window texts of a design document that a language file does not translate.

Developer aid for keeping a .lng file complete. It collects every double-quoted text in the
chosen sections of a Markdown document, drops what is plainly not a window text (file names,
format strings, identifiers), and prints the texts whose lower-cased key is missing from the
"ProgramOutStr" section of the language file.

    scripts/check_lng.py DOCUMENT.md resources/Languages/Chinese.lng \
        --section 'Main window' --section 'Wireless' ...

--section takes a regular expression matched against level-1 headings ("# ..."); without it the
whole document is read. Texts without a lower-case word ("SSID", "WPA2_PSK", "LAN1") usually stay
as they are in every language; they are listed apart with --technical. --all prints every
collected text with its translation.
"""

import argparse
import re
import sys

QUOTED = re.compile(r'"([^"\n]+)"')
FILE_NAME = re.compile(r'^[\w\-. ]+\.(bmp|jpe?g|gif|ico|png|ini|lng|exe|mdb|bin|dll|ttf)$', re.I)
FORMAT_DIRECTIVE = re.compile(r'%0?\d*[dsxu]')
LOWER_WORD = re.compile(r'[A-Za-z]*[a-z][A-Za-z]*')

# Names the program uses internally that happen to be quoted: window classes, INI sections and
# keys, folder names, shell verbs, font faces.
NOT_WINDOW_TEXT = {
    'edit', 'listbox', 'combobox', 'skin', 'languages', 'setting', 'color', 'font', 'lcid',
    'programoutstr', 'server', 'directory', 'arial', 'english', 'runas', 'service', 'v',
    'http://', 'retransmission_max', 'retransmission_interval',
}


def read_sections(path, patterns):
    with open(path, encoding='utf-8') as f:
        lines = f.read().splitlines()
    if not patterns:
        return lines
    chosen, keep = [], False
    for line in lines:
        if line.startswith('# '):
            keep = any(re.search(p, line[2:]) for p in patterns)
        if keep:
            chosen.append(line)
    return chosen


def is_window_text(text):
    t = text.strip()
    if not t or t == '...':
        return False
    if '\\' in t or t.startswith(('^', '.', '[~')):  # escapes, patterns, extensions, markers
        return False
    if FILE_NAME.match(t):
        return False
    if t.lower() in NOT_WINDOW_TEXT:
        return False
    if re.match(r'^(Sys|msctls_)\w+$', t):
        return False
    # A single lower-case word is a term of the prose, not a caption.
    if re.match(r'^[a-z][a-z0-9!]*$', t):
        return False
    # Nothing but format specifiers, digits and punctuation: a number format, not a caption.
    if not re.search(r'[^\W\d_]', FORMAT_DIRECTIVE.sub('', t)):
        return False
    return True


def is_technical(text):
    """No word with a lower-case letter: an acronym or code that needs no translation."""
    stripped = FORMAT_DIRECTIVE.sub('', text)
    if re.search(r'[^\x00-\x7f]', stripped):
        return False
    return not any(len(w) >= 2 for w in LOWER_WORD.findall(stripped))


def read_lng(path):
    entries, section = {}, None
    with open(path, encoding='utf-8-sig') as f:
        for raw in f:
            line = raw.strip()
            if not line or line.startswith(';'):
                continue
            if line.startswith('['):
                section = line[1:line.rfind(']')].strip().lower()
                continue
            if section != 'programoutstr' or '=' not in raw:
                continue
            key, value = raw.split('=', 1)
            key = key.strip()
            if key and key not in entries:
                entries[key] = value.strip()
    return entries


def ascii_lower(text):
    return ''.join(c.lower() if c < '\x80' else c for c in text)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    ap.add_argument('document', help='Markdown document to collect the texts from')
    ap.add_argument('lng', help='language file to check')
    ap.add_argument('--section', action='append', default=[],
                    help='regular expression for the level-1 headings to read (repeatable)')
    ap.add_argument('--technical', action='store_true',
                    help='also list missing texts that look like acronyms or codes')
    ap.add_argument('--all', action='store_true', help='print every collected text')
    args = ap.parse_args()

    texts = []
    for line in read_sections(args.document, args.section):
        for m in QUOTED.finditer(line):
            t = m.group(1).strip()
            if is_window_text(t) and t not in texts:
                texts.append(t)
    entries = read_lng(args.lng)

    missing, technical = [], []
    for t in texts:
        key = ascii_lower(t)
        if args.all:
            print(f'{t!r:60} -> {entries.get(key, "(none)")}')
        if key in entries:
            continue
        (technical if is_technical(t) else missing).append(t)

    for t in missing:
        print(t)
    if args.technical:
        for t in technical:
            print(f'(technical) {t}')
    print(f'# {len(texts)} texts collected, {len(texts) - len(missing) - len(technical)} '
          f'translated, {len(missing)} missing, {len(technical)} technical without entry, '
          f'{len(entries)} entries in {args.lng}', file=sys.stderr)
    return 1 if missing else 0


if __name__ == '__main__':
    sys.exit(main())
