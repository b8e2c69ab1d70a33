#!/usr/bin/env python3
"""Lays out the demo download site of the VARO Pro web installer in one folder, for
tools/testserver/pel_test_server.py (or any static web server) to serve:

  version.xml                        the server version document
  msi/varo_pro_70.msi                the full package (7.0.0.1 unless --full-version)
  msi/varo_pro_70_patch.msi          the update package (7.1.0.5)
  transform/<id>.mst                 language transforms (1031, 1036)
  langpack/language_pack_<id>.exe    language pack setup (one program, id from its name)
  prereq/vc_redist.exe, prereq/webview2.exe   prerequisite setup stand-ins
  installer/PelWebInstaller.exe      the web installer itself (for the self-update case)

The payloads come from the build (--payloads: the tools/payloads folder of a build tree).
URLs in version.xml (and in a manifest written with --manifest-out) start with --base-url,
by default http://127.0.0.1:<--port>. The folder given with --out is emptied first, and
version.xml is the last file written.
"""
import argparse
import os
import re
import shutil
import sys

PRODUCT_CODE = "{6A3C1F0E-7B1D-4E3B-9C55-2F7A0D9B7001}"
FRESH_VERSION = "7.0.0.1"
PATCH_VERSION = "7.1.0.5"
LANGUAGES = (1031, 1036)
SAMPLE_MANIFEST = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                               "sample", "config", "manifest.xml")
SAMPLE_BASE_URL = "http://127.0.0.1:8470"
VERSION_PATTERN = re.compile(r"^\d+\.\d+\.\d+\.\d+$")


def version_document(base_url, fresh_version, min_installer):
    installer_url = base_url + "/installer/PelWebInstaller.exe"
    parts = ['<?xml version="1.0" encoding="UTF-8"?>', "<pelwebinstaller>",
             "  <product_code>%s</product_code>" % PRODUCT_CODE]
    for container, version in (("fresh_install", fresh_version), ("patch_install", PATCH_VERSION)):
        parts += ["  <%s>" % container,
                  "    <product_version>%s</product_version>" % version,
                  "    <min_web_installer_version>%s</min_web_installer_version>" % min_installer,
                  "    <web_installer_download_url>%s</web_installer_download_url>" % installer_url,
                  "  </%s>" % container]
    parts.append("</pelwebinstaller>")
    return "\n".join(parts) + "\n"


def copy(source, target):
    if not os.path.isfile(source):
        sys.exit("make_site: missing payload %s" % source)
    os.makedirs(os.path.dirname(target), exist_ok=True)
    shutil.copyfile(source, target)


SITE_ENTRIES = {"version.xml", "version.xml.part", "msi", "transform", "langpack", "prereq",
                "installer"}


def lay_out(args, base_url):
    out = args.out
    if os.path.isdir(out):
        # Only a folder that holds nothing but a site is emptied: a mistyped --out must not
        # wipe anything else.
        strangers = sorted(set(os.listdir(out)) - SITE_ENTRIES)
        if strangers:
            sys.exit("make_site: %s holds other files (%s); not emptying it"
                     % (out, ", ".join(strangers[:5])))
        shutil.rmtree(out)
    os.makedirs(out)
    payloads = args.payloads
    full = "varo_pro_%s.msi" % args.full_version
    copy(os.path.join(payloads, full), os.path.join(out, "msi", "varo_pro_70.msi"))
    copy(os.path.join(payloads, "varo_pro_%s.msi" % PATCH_VERSION),
         os.path.join(out, "msi", "varo_pro_70_patch.msi"))
    for language in LANGUAGES:
        copy(os.path.join(payloads, "%d.mst" % language),
             os.path.join(out, "transform", "%d.mst" % language))
        copy(os.path.join(payloads, "language_pack.exe"),
             os.path.join(out, "langpack", "language_pack_%d.exe" % language))
    for name in ("vc_redist.exe", "webview2.exe"):
        copy(os.path.join(payloads, name), os.path.join(out, "prereq", name))
    if args.installer:
        copy(args.installer, os.path.join(out, "installer", "PelWebInstaller.exe"))


def write_version_document(out, base_url, args):
    # Written last and renamed into place: a caller that cannot wait for this process (a
    # test inside Wine) takes the document's appearance as the sign that the site is ready.
    part = os.path.join(out, "version.xml.part")
    with open(part, "w", encoding="utf-8", newline="\n") as f:
        f.write(version_document(base_url, args.full_version, args.min_web_installer))
    os.replace(part, os.path.join(out, "version.xml"))


def write_manifest(source, target, base_url):
    with open(source, encoding="utf-8") as f:
        text = f.read()
    text = text.replace(SAMPLE_BASE_URL + "/", base_url + "/")
    os.makedirs(os.path.dirname(os.path.abspath(target)), exist_ok=True)
    with open(target, "w", encoding="utf-8", newline="\n") as f:
        f.write(text)


def version_argument(text):
    if not VERSION_PATTERN.match(text):
        raise argparse.ArgumentTypeError("not a four-part version: %r" % text)
    return text


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--payloads", required=True, help="folder of the built payloads")
    parser.add_argument("--out", required=True, help="site folder to (re)create")
    parser.add_argument("--installer", help="web installer executable to offer for self-update")
    parser.add_argument("--port", type=int, default=8470, help="port written into URLs")
    parser.add_argument("--base-url", help="URL prefix instead of http://127.0.0.1:PORT")
    parser.add_argument("--min-web-installer", type=version_argument, default="7.0.0.10",
                        help="oldest web installer allowed (the sample manifest's installer "
                             "is 7.0.0.10; a newer value makes it outdated)")
    parser.add_argument("--full-version", type=version_argument, default=FRESH_VERSION,
                        choices=(FRESH_VERSION, PATCH_VERSION),
                        help="which release msi/varo_pro_70.msi holds")
    parser.add_argument("--manifest", default=SAMPLE_MANIFEST,
                        help="manifest whose %s URLs --manifest-out rewrites" % SAMPLE_BASE_URL)
    parser.add_argument("--manifest-out", help="write the manifest with this site's URLs here")
    args = parser.parse_args()
    if not 0 < args.port < 65536:
        parser.error("--port must be 1..65535")
    base_url = (args.base_url or "http://127.0.0.1:%d" % args.port).rstrip("/")
    lay_out(args, base_url)
    if args.manifest_out:
        write_manifest(args.manifest, args.manifest_out, base_url)
    write_version_document(args.out, base_url, args)


if __name__ == "__main__":
    main()
