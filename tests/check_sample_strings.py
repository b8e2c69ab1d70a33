#!/usr/bin/env python3
"""Checks the sample language files sample/language/<id>/string.ini.

    python3 tests/check_sample_strings.py [--root REPO] [--no-self-test] [-v]

Each file must be UTF-16LE with a byte-order mark and CRLF line ends, hold every one of the 39 keys
(37 texts in [UISTRING], 2 links in [RLINK]) and a [LANGUAGE] Title, and keep in every translation
exactly the printf placeholders of the English default, in the same order. The English defaults are
read from the key table of docs/string-ini.md, so the documentation, the English sample and the
translations are checked against each other. The files must also be exactly what
tools/make_sample_strings.py writes, so that they can be regenerated without losing edits.

Before the real check, the checker runs itself on a correct file and on broken variants of it and
fails unless it accepts the first and rejects each of the others.
"""
import argparse
import importlib
import os
import re
import sys

EXPECTED_LANGUAGES = [1033, 1031, 1036, 3082, 1040, 1041, 2052, 1046, 1045]
ENGLISH = 1033
# A 260-character buffer of the Windows profile functions holds 259 characters of a value.
MAX_VALUE_LENGTH = 259
BOM = b"\xff\xfe"
TABLE_BEGIN = "<!-- key-table:begin"
TABLE_END = "<!-- key-table:end"
ROW = re.compile(r'^\|\s*`(IDS_[A-Z_]+)`\s*\|\s*"(.*)"\s*\|')
# One printf conversion: flags, width, precision, size prefix, conversion letter.
CONVERSION = re.compile(r"%[-+ #0]*\d*(?:\.\d+)?(?:hh|h|ll|l|L|I64|I32|w)?[diouxXcCsSeEfgGp]")
QUOTES = "\"'"


def read_key_table(doc_path):
    """English defaults from the marked tables of docs/string-ini.md: (texts, links), in order."""
    with open(doc_path, encoding="utf-8") as f:
        lines = f.read().splitlines()
    try:
        begin = next(i for i, line in enumerate(lines) if line.startswith(TABLE_BEGIN))
        end = next(i for i, line in enumerate(lines) if line.startswith(TABLE_END))
    except StopIteration:
        raise SystemExit("%s: key table markers not found" % doc_path)
    texts, links = {}, {}
    for line in lines[begin:end]:
        match = ROW.match(line)
        if match:
            key, default = match.groups()
            (links if key.startswith("IDS_RLINK_") else texts)[key] = default
    return texts, links


def placeholders(text):
    """The printf placeholders of a text, in order. A % that starts no conversion is listed as
    '%' followed by the next character, so a stray % never passes for a placeholder."""
    found, i = [], 0
    while True:
        i = text.find("%", i)
        if i < 0:
            return found
        match = CONVERSION.match(text, i)
        if match:
            found.append(match.group(0))
            i = match.end()
        else:
            found.append(text[i:i + 2])
            i += 2


def parse_ini(data):
    """Sections of a UTF-16LE profile file as {section: {key: raw value}} plus a list of errors.
    Names are compared in upper case, as the Windows profile functions compare them."""
    errors = []
    if not data.startswith(BOM):
        errors.append("no UTF-16LE byte-order mark (FF FE) at the start")
        return {}, errors
    try:
        text = data[len(BOM):].decode("utf-16-le")
    except UnicodeDecodeError as e:
        errors.append("not valid UTF-16LE: %s" % e)
        return {}, errors
    if not text.endswith("\r\n"):
        errors.append("the last line does not end with CRLF")
    sections, current = {}, None
    for number, line in enumerate(text.split("\r\n"), 1):
        if "\r" in line or "\n" in line:
            errors.append("line %d: a line end that is not CRLF" % number)
            line = line.replace("\r", "").replace("\n", "")
        stripped = line.strip()
        if not stripped or stripped.startswith(";"):
            continue
        if stripped.startswith("["):
            if not stripped.endswith("]"):
                errors.append("line %d: unclosed section header" % number)
                continue
            current = stripped[1:-1].strip().upper()
            if current in sections:
                errors.append("line %d: section [%s] appears twice" % (number, current))
            sections.setdefault(current, {})
            continue
        if "=" not in line:
            errors.append("line %d: neither a section, a comment nor KEY=value" % number)
            continue
        if current is None:
            errors.append("line %d: a key before the first section" % number)
            continue
        key, value = line.split("=", 1)
        key = key.strip().upper()
        if key in sections[current]:
            errors.append("line %d: [%s] %s appears twice (only the first counts)"
                          % (number, current, key))
            continue
        sections[current][key] = value
    return sections, errors


def check_value(where, value, english):
    """Problems of one text against its English default."""
    errors = []
    if value != value.strip():
        errors.append("%s: blanks around the value are removed by the reader" % where)
    if len(value) >= 2 and value[0] in QUOTES and value[-1] == value[0]:
        errors.append("%s: the reader removes quotation marks around the whole value" % where)
    if not value.strip():
        errors.append("%s: empty (an empty value shows no text; leave the key out for English)"
                      % where)
    if len(value) > MAX_VALUE_LENGTH:
        errors.append("%s: %d characters, more than %d" % (where, len(value), MAX_VALUE_LENGTH))
    if placeholders(value) != placeholders(english):
        errors.append("%s: placeholders %s, the English default has %s"
                      % (where, placeholders(value), placeholders(english)))
    return errors


def licence_order(texts):
    """'text first' or 'link first' as the installer decides it, or None when the sentence is not
    made of the two parts (it must begin with one and continue with the other)."""
    terms = texts.get("IDS_ACCEPT_LICENSE_TERMS", "").strip()
    link = texts.get("IDS_LINK_LICENSE_TERMS", "").strip()
    sentence = texts.get("IDS_ACCEPT_LICENSE_SENTENCE", "").strip()
    if sentence.startswith(terms):
        return "text first" if link and link in sentence[len(terms):] else None
    if link and sentence.startswith(link) and terms in sentence[len(link):]:
        return "link first"
    return None


def check_file(data, lang_id, ui_defaults, link_defaults):
    """All problems of one string.ini, and its licence line order (or None)."""
    sections, errors = parse_ini(data)
    if not sections:
        return errors, None
    texts = sections.get("UISTRING", {})
    links = sections.get("RLINK", {})
    language = sections.get("LANGUAGE", {})
    for name in sorted(set(sections) - {"UISTRING", "RLINK", "LANGUAGE"}):
        errors.append("unknown section [%s]" % name)
    for key, english in ui_defaults.items():
        if key not in texts:
            errors.append("[UISTRING] %s is missing" % key)
            continue
        errors += check_value("[UISTRING] " + key, texts[key], english)
        if lang_id == ENGLISH and texts[key] != english:
            errors.append("[UISTRING] %s: %r differs from the English default %r"
                          % (key, texts[key], english))
    for key in sorted(set(texts) - set(ui_defaults)):
        errors.append("[UISTRING] %s is not a text key" % key)
    for key, default in link_defaults.items():
        value = links.get(key)
        if value is None:
            errors.append("[RLINK] %s is missing" % key)
        elif not value.startswith("https://") or value != value.strip() or " " in value:
            errors.append("[RLINK] %s: %r is not an https address" % (key, value))
        elif lang_id == ENGLISH and value != default:
            errors.append("[RLINK] %s: %r differs from the built-in %r" % (key, value, default))
    for key in sorted(set(links) - set(link_defaults)):
        errors.append("[RLINK] %s is not a link key" % key)
    title = language.get("TITLE", "").strip()
    if not title or title == str(lang_id):
        errors.append("[LANGUAGE] Title is missing")
    elif lang_id == ENGLISH and title != "English":
        errors.append("[LANGUAGE] Title of English is %r" % title)
    order = licence_order(texts)
    if order is None and all(k in texts for k in ("IDS_ACCEPT_LICENSE_TERMS",
                                                   "IDS_LINK_LICENSE_TERMS",
                                                   "IDS_ACCEPT_LICENSE_SENTENCE")):
        errors.append("licence line: IDS_ACCEPT_LICENSE_SENTENCE must begin with "
                      "IDS_ACCEPT_LICENSE_TERMS or IDS_LINK_LICENSE_TERMS and contain the other")
    return errors, order


def load_generator(root):
    sys.path.insert(0, os.path.join(root, "tools"))
    try:
        return importlib.import_module("make_sample_strings")
    finally:
        sys.path.pop(0)


def build_ini(lines, bom=BOM, line_end="\r\n", encoding="utf-16-le"):
    return bom + (line_end.join(lines) + line_end).encode(encoding)


def self_test(ui_defaults, link_defaults):
    """Runs the checker on a good English file and on broken variants of it."""
    def lines_with(changes=None, drop=None, extra=None):
        changes = changes or {}
        out = ["; self-test", "[LANGUAGE]", "Title=English", "[UISTRING]"]
        for key, value in ui_defaults.items():
            if key != drop:
                out.append("%s=%s" % (key, changes.get(key, value)))
        out += extra or []
        out.append("[RLINK]")
        out += ["%s=%s" % (key, changes.get(key, value)) for key, value in link_defaults.items()]
        return out

    failures = []
    good_errors, good_order = check_file(build_ini(lines_with()), ENGLISH, ui_defaults,
                                         link_defaults)
    if good_errors or good_order != "text first":
        failures.append("a correct English file was refused: %s" % (good_errors or good_order))

    broken = [
        ("no byte-order mark", build_ini(lines_with(), bom=b""), "byte-order mark"),
        ("UTF-8 text", build_ini(lines_with(), bom=b"\xef\xbb\xbf", encoding="utf-8"),
         "byte-order mark"),
        ("LF line ends", build_ini(lines_with(), line_end="\n"), "CRLF"),
        ("a missing key", build_ini(lines_with(drop="IDS_LAUNCH_APP")),
         "IDS_LAUNCH_APP is missing"),
        ("a lost placeholder", build_ini(lines_with({"IDS_PRODUCT_READY": "Ready"})),
         "placeholders"),
        ("a changed placeholder",
         build_ini(lines_with({"IDS_TIME_REMAINING_MINS": "%02d mins %2d secs remaining..."})),
         "placeholders"),
        ("placeholders in another order",
         build_ini(lines_with({"IDS_ERR_CREATE_FOLDER_FAILED": "%d path %s"})), "placeholders"),
        ("a stray percent sign",
         build_ini(lines_with({"IDS_STATUS_FINISHED": "100 % finished."})), "placeholders"),
        ("an empty value", build_ini(lines_with({"IDS_INSTALL": ""})), "empty"),
        ("a value that is too long", build_ini(lines_with({"IDS_ERR_CAPTION": "E" * 260})),
         "more than"),
        ("a quoted value", build_ini(lines_with({"IDS_START_NOW": '"Start Now"'})),
         "quotation marks"),
        ("blanks around a value", build_ini(lines_with({"IDS_START_NOW": "Start Now "})),
         "blanks"),
        ("a sentence made of other words",
         build_ini(lines_with({"IDS_ACCEPT_LICENSE_SENTENCE": "I agree to the terms"})),
         "licence line"),
        ("an unknown key", build_ini(lines_with(extra=["IDS_NOT_A_KEY=x"])), "not a text key"),
        ("a duplicate key", build_ini(lines_with(extra=["IDS_INSTALL=Install"])), "twice"),
        ("English text changed", build_ini(lines_with({"IDS_INSTALL": "Setup"})),
         "differs from the English default"),
        ("a link that is not https",
         build_ini(lines_with({"IDS_RLINK_TERMS": "ftp://example.com/terms"})), "https"),
    ]
    for what, data, expected in broken:
        errors, _ = check_file(data, ENGLISH, ui_defaults, link_defaults)
        if not any(expected in e for e in errors):
            failures.append("%s was not reported (errors: %s)" % (what, errors))

    link_first = dict(ui_defaults)
    link_first.update({"IDS_ACCEPT_LICENSE_TERMS": "に同意します",
                       "IDS_LINK_LICENSE_TERMS": "ライセンス条項",
                       "IDS_ACCEPT_LICENSE_SENTENCE": "ライセンス条項に同意します"})
    if licence_order(link_first) != "link first":
        failures.append("a sentence that begins with the link was not read as link first")
    return failures


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", default=os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                                       ".."))
    parser.add_argument("--no-self-test", action="store_true")
    parser.add_argument("-v", "--verbose", action="store_true")
    args = parser.parse_args(argv)
    root = os.path.abspath(args.root)

    ui_defaults, link_defaults = read_key_table(os.path.join(root, "docs", "string-ini.md"))
    problems = []
    if len(ui_defaults) != 37 or len(link_defaults) != 2:
        problems.append("docs/string-ini.md: the key table has %d texts and %d links, not 37 and 2"
                        % (len(ui_defaults), len(link_defaults)))
    if not args.no_self_test:
        problems += ["self-test: " + f for f in self_test(ui_defaults, link_defaults)]

    language_dir = os.path.join(root, "sample", "language")
    present = sorted(int(name) for name in os.listdir(language_dir) if name.isdigit())
    for lang_id in EXPECTED_LANGUAGES:
        if lang_id not in present:
            problems.append("sample/language/%d is missing" % lang_id)

    generated = load_generator(root).rendered_files()
    orders = {}
    for lang_id in present:
        rel = "sample/language/%d/string.ini" % lang_id
        path = os.path.join(root, rel)
        if not os.path.isfile(path):
            problems.append("%s is missing" % rel)
            continue
        with open(path, "rb") as f:
            data = f.read()
        errors, orders[lang_id] = check_file(data, lang_id, ui_defaults, link_defaults)
        problems += ["%s: %s" % (rel, e) for e in errors]
        if lang_id not in generated:
            problems.append("%s: tools/make_sample_strings.py has no such language" % rel)
        elif generated[lang_id] != data:
            problems.append("%s: differs from what tools/make_sample_strings.py writes "
                            "(run it again, or move the edit into it)" % rel)
    if "link first" not in orders.values():
        problems.append("no sample language puts the licence link first")

    if args.verbose:
        for lang_id, order in sorted(orders.items()):
            print("%d: licence line %s" % (lang_id, order))
    for problem in problems:
        print(problem)
    print("%d sample language files checked, %d problems" % (len(orders), len(problems)))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
