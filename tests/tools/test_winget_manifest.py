"""The winget manifest, the setup's exit-code table and the README say the same: every code the
setup ends with is known to winget as the table reads it, every switch the manifest sends is one
the setup takes, and the generated manifest carries the built setup's digest."""
import hashlib
import importlib.util
import pathlib
import re

import yaml

ROOT = pathlib.Path(__file__).resolve().parents[2]
WINGET = ROOT / "deploy" / "winget"


def exit_table():
    rows = {}
    for line in (ROOT / "deploy" / "exit-codes.tsv").read_text(encoding="utf-8").splitlines():
        if line and not line.startswith("#"):
            run, code, _result, winget = line.split("\t")
            rows.setdefault(run, {})[int(code)] = winget
    return rows


def readme_codes(header):
    """The codes of the README table under the line that starts with `header`, per column."""
    lines = (ROOT / "README.md").read_text(encoding="utf-8").splitlines()
    start = next(i for i, line in enumerate(lines) if line.strip().startswith(header))
    columns = {}
    for line in lines[start + 2:]:
        cells = [cell.strip() for cell in line.strip().strip("|").split("|")]
        if not line.strip().startswith("|"):
            break
        for column, cell in enumerate(cells[1:]):
            if cell:
                columns.setdefault(column, set()).update(int(code) for code in cells[0].split(","))
    return columns


def generated(tmp_path):
    found = importlib.util.spec_from_file_location("make_manifest", WINGET / "make_manifest.py")
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    setup = tmp_path / "vornsetup.exe"
    setup.write_bytes(b"MZ a built setup")
    files = module.make(setup, tmp_path / "out")
    return hashlib.sha256(setup.read_bytes()).hexdigest().upper(), {
        yaml.safe_load(path.read_text(encoding="utf-8"))["ManifestType"]: yaml.safe_load(
            path.read_text(encoding="utf-8")) for path in files}


def test_the_manifest_reads_the_codes_as_the_table_does(tmp_path):
    digest, manifests = generated(tmp_path)
    installer = manifests["installer"]
    assert {m["ManifestVersion"] for m in manifests.values()} == {"1.6.0"}
    assert {m["PackageVersion"] for m in manifests.values()} == {"9.0"}
    assert installer["Installers"][0]["InstallerSha256"] == digest
    setup = exit_table()["setup"]
    assert installer["InstallerSuccessCodes"] == [3010]
    expected = {code: response for code, response in setup.items() if response != "success"}
    assert {c["InstallerReturnCode"]: c["ReturnResponse"] for c in installer["ExpectedReturnCodes"]} == expected
    assert (installer["ProductCode"], installer["Scope"], installer["ElevationRequirement"]) == (
        "vornqwb8", "machine", "elevatesSelf")
    assert installer["ProductCode"] in (ROOT / "registration" / "system_entries.cpp").read_text(encoding="utf-8")


def test_the_readme_tables_have_the_tables_codes():
    table = exit_table()
    assert readme_codes("| code | meaning |")[0] == set(table["setup"])
    check_repair = readme_codes("| code | `/CHECK` | `/REPAIR` |")
    assert (check_repair[0], check_repair[1]) == (set(table["check"]), set(table["repair"]))
    text = (ROOT / "README.md").read_text(encoding="utf-8")
    uninstall_at = text.index("## Uninstalling")
    lines = text[uninstall_at:].splitlines()
    codes = {int(line.split("|")[1]) for line in lines if re.match(r"\s*\| \d+ \|", line)}
    assert codes == set(table["uninstall"])


def test_every_switch_the_manifest_sends_is_one_the_setup_takes(tmp_path):
    source = (ROOT / "programs" / "command_line.cpp").read_text(encoding="utf-8")
    whole = set(re.findall(r'sameSwitch\(token, "([^"]+)"\)', source))
    prefixes = set(re.findall(r'startsWithSwitch\(token, "([^"]+)"\)', source))
    values = {name: set(pair) for name, *pair in re.findall(
        r'startsWithSwitch\(token, "([^"]+)"\)\) \{\s*readChoice\([^"]*"([^"]+)", "([^"]+)"', source)}
    switches = generated(tmp_path)[1]["installer"]["InstallerSwitches"]
    assert switches["Log"] == '/LOG="<LOGPATH>"' and "/LOG=" in prefixes
    for kind in ("Silent", "SilentWithProgress", "Custom"):
        for token in switches[kind].split():
            name, equals, value = token.partition("=")
            if equals:
                assert value in values[name + "="], token
            else:
                assert token in whole, token
