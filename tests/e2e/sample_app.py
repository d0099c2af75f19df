"""Sample applications for the updater, made at test time.

An update server folder holds what the updater asks for under one base
address: the manifest "AutoUpdateIniS.xml", the client configuration template
"AutoUpdateIniC.xml" and the packages under "clientfile/". Manifests and
configurations are written as the updater reads them: GBK text, one entry
element per file or folder module. Packages are zip archives made with
Python's zipfile.
"""
import hashlib
import subprocess
import time
import zipfile
from io import BytesIO
from pathlib import Path
from xml.sax.saxutils import quoteattr

BASE = "upd"          # the server folder: http://127.0.0.1:<port>/upd/
ENCODING = "gbk"      # the system code page of the target machines
DECLARATION = '<?xml version="1.0" encoding="gbk"?>'


class Module:
    """One file or folder module of an application.

    name        the entry's element name ("a.dll", "reports" for a folder)
    version     version text
    setup_path  target selector ("" for the program folder, "#System32",
                "#windows", "#BDE")
    files       {path inside the package: bytes}; the package's contents
    file_name   package name under clientfile/ (default: name + ".zip")
    replace, register   the IsReplace and IsRegister flags (None: absent)
    script, auto_run    Script and AutoRun texts (None: absent)
    sha256, size        the SHA256 and Size attributes (None: absent; see
                        ServerFolder.publish for ones that match)
    """

    def __init__(self, name, version="1", setup_path="", files=None, file_name=None, replace=True,
                 register=None, script=None, auto_run=None, sha256=None, size=None):
        self.name = name
        self.version = version
        self.setup_path = setup_path
        self.files = dict(files if files is not None else {name: f"{name} {version}\r\n".encode()})
        self.file_name = file_name or name + ".zip"
        self.replace = replace
        self.register = register
        self.script = script
        self.auto_run = auto_run
        self.sha256 = sha256
        self.size = size
        self._package = None

    def attributes(self):
        attrs = [("SetupPath", self.setup_path), ("Version", self.version), ("FileName", self.file_name)]
        if self.replace is not None:
            attrs.append(("IsReplace", "1" if self.replace is True else str(self.replace)))
        if self.register is not None:
            attrs.append(("IsRegister", "1" if self.register is True else str(self.register)))
        if self.script is not None:
            attrs.append(("Script", self.script))
        if self.auto_run is not None:
            attrs.append(("AutoRun", self.auto_run))
        if self.sha256 is not None:
            attrs.append(("SHA256", self.sha256))
        if self.size is not None:
            attrs.append(("Size", str(self.size)))
        return attrs

    def package(self):
        """The package's bytes, made once."""
        if self._package is None:
            self._package = make_zip(self.files)
        return self._package


def make_zip(files, when=None):
    """A zip archive of {name: bytes}, deflated, stamped with `when` (default now)."""
    stamp = time.localtime(when if when is not None else time.time())[:6]
    out = BytesIO()
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in files.items():
            info = zipfile.ZipInfo(name.replace("\\", "/"), date_time=stamp)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.external_attr = 0o644 << 16
            z.writestr(info, data)
    return out.getvalue()


def _element(name, attrs, indent="\t\t"):
    text = "".join(f" {key}={quoteattr(value)}" for key, value in attrs)
    return f"{indent}<{name}{text}/>"


def manifest(app, modules, mainfile=None, desktop=None, root_attrs=()):
    """The bytes of AutoUpdateIniS.xml for one application; `root_attrs`
    (name, value) pairs of the root element."""
    group = []
    if mainfile is not None:
        group.append(("mainfile", mainfile))
    if desktop is not None:
        group.append(("IsDeskTop", desktop))
    head = "".join(f" {key}={quoteattr(value)}" for key, value in group)
    root = "".join(f" {key}={quoteattr(value)}" for key, value in root_attrs)
    lines = [DECLARATION, f"<data{root}>", f"\t<{app}{head}>"]
    lines += [_element(m.name, m.attributes()) for m in modules]
    lines += [f"\t</{app}>", "</data>", ""]
    return "\r\n".join(lines).encode(ENCODING)


def client_config(app=None, installed=(), server_url=None, app_attrs=()):
    """The bytes of a client configuration: `installed` lists (name, version)
    pairs recorded for `app`, `app_attrs` (name, value) pairs of its element;
    `server_url` adds data/DataSource."""
    lines = [DECLARATION, "<data>"]
    if server_url is not None:
        lines.append(f"\t<DataSource ServerURL={quoteattr(server_url)}/>")
    if app is not None:
        head = "".join(f" {key}={quoteattr(value)}" for key, value in app_attrs)
        lines.append(f"\t<{app}{head}>")
        lines += [_element(name, [("version", version)]) for name, version in installed]
        lines.append(f"\t</{app}>")
    lines += ["</data>", ""]
    return "\r\n".join(lines).encode(ENCODING)


class ServerFolder:
    """The folder an update server serves: <root>/upd/..."""

    def __init__(self, root):
        self.root = Path(root)
        self.base = self.root / BASE
        (self.base / "clientfile").mkdir(parents=True, exist_ok=True)

    def url(self, port):
        return f"http://127.0.0.1:{port}/{BASE}/"

    def publish(self, app, modules, mainfile=None, desktop=None, template=None, verified=False, root_attrs=()):
        """Writes the manifest, every module's package and the configuration
        template (default: an empty configuration). `verified` gives every
        module without its own the SHA256 and Size of its package."""
        for m in modules if verified else ():
            m.sha256 = m.sha256 if m.sha256 is not None else hashlib.sha256(m.package()).hexdigest()
            m.size = m.size if m.size is not None else len(m.package())
        (self.base / "AutoUpdateIniS.xml").write_bytes(manifest(app, modules, mainfile, desktop, root_attrs))
        for m in modules:
            self.package_path(m.file_name).write_bytes(m.package())
        self.write_template(template if template is not None else client_config())

    def sign(self, private_key):
        """AutoUpdateIniS.xml.sig: the manifest signed as the publisher does."""
        subprocess.run(["openssl", "dgst", "-sha256", "-sign", str(private_key), "-out",
                        str(self.base / "AutoUpdateIniS.xml.sig"), str(self.base / "AutoUpdateIniS.xml")],
                       check=True, capture_output=True)

    def write_template(self, data):
        (self.base / "AutoUpdateIniC.xml").write_bytes(data)

    def package_path(self, file_name):
        return self.base / "clientfile" / file_name

    def request_path(self, name):
        """The request path of a server file, as the server's log shows it."""
        return f"/{BASE}/{name}"


def make_key_pair(folder, name="publisher"):
    """A P-256 key pair made with openssl: the private key's path and the
    public key as one line of base64, as an administrator may configure it."""
    folder = Path(folder)
    folder.mkdir(parents=True, exist_ok=True)
    private = folder / f"{name}.pem"
    subprocess.run(["openssl", "ecparam", "-name", "prime256v1", "-genkey", "-noout", "-out", str(private)],
                   check=True, capture_output=True)
    public = subprocess.run(["openssl", "ec", "-in", str(private), "-pubout"], check=True,
                            capture_output=True).stdout.decode()
    return private, "".join(line for line in public.splitlines() if not line.startswith("-----"))


def config_name(port):
    return f"127.0.0.1_{port}_AutoUpdateIniC.xml"


def parse(data):
    """A configuration or manifest (GBK bytes) as an ElementTree element."""
    import xml.etree.ElementTree as ElementTree
    text = data.decode(ENCODING)
    if text.startswith("<?xml"):
        text = text[text.index("?>") + 2:]
    return ElementTree.fromstring(text)


def recorded_versions(config, app):
    """{entry name: version} recorded for the application, or None without
    an application element."""
    group = config.find(app)
    return None if group is None else {e.tag: e.get("version") for e in group}
