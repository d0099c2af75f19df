#!/usr/bin/env python3
"""Compares our XML document model with Python's xml.dom.minidom (expat).

Generates a corpus of documents, valid and broken (hand-written cases plus
random documents and mutations of them), has the dump tool print our tree of
each in a canonical form, builds the same form from minidom, and compares.
Every disagreement must be listed in KNOWN with its reason; a listed case that
agrees again is reported too, so the list stays true.

    xml_oracle.py DUMP_TOOL WORK_DIR [--count N] [--random-start S]
"""
import argparse
import os
import random
import subprocess
import sys
from xml.dom import expatbuilder, Node

# ---- canonical form (the same as tests/xml/xml_canonical.h) -----------------

def escape(s):
    out = []
    for ch in s:
        o = ord(ch)
        if ch == '\\':
            out.append('\\\\')
        elif ch == '\n':
            out.append('\\n')
        elif ch == '\r':
            out.append('\\r')
        elif ch == '\t':
            out.append('\\t')
        elif o < 0x20 or o == 0x7F:
            out.append('\\x%02x' % o)
        else:
            out.append(ch)
    return ''.join(out)


def canonical(doc):
    if doc is None or doc.documentElement is None:
        return 'EMPTY\n'
    out = []
    if doc.version is not None:
        standalone = {True: 'yes', False: 'no'}.get(doc.standalone, '')
        out.append('decl version=%s encoding=%s standalone=%s\n'
                   % (escape(doc.version), escape(doc.encoding or ''), standalone))
    # Iterative walk; white-space-only text runs are dropped as our model
    # does, then adjacent text and CDATA are merged.
    stack = [(list(doc.childNodes), 0)]
    pending = []

    def flush(depth):
        if pending:
            out.append('  ' * depth + 'text ' + escape(''.join(pending)) + '\n')
            pending.clear()

    while stack:
        nodes, i = stack[-1]
        depth = len(stack) - 1
        if i == len(nodes):
            flush(depth)
            stack.pop()
            continue
        stack[-1] = (nodes, i + 1)
        n = nodes[i]
        if n.nodeType == Node.TEXT_NODE:
            # A run of text between markup may come as several nodes.
            run = n.data
            j = i + 1
            while j < len(nodes) and nodes[j].nodeType == Node.TEXT_NODE:
                run += nodes[j].data
                j += 1
            stack[-1] = (nodes, j)
            if run.strip(' \t\r\n'):
                pending.append(run)
            continue
        if n.nodeType == Node.CDATA_SECTION_NODE:
            pending.append(n.data)
            continue
        if n.nodeType == Node.DOCUMENT_TYPE_NODE:
            continue
        flush(depth)
        indent = '  ' * depth
        if n.nodeType == Node.ELEMENT_NODE:
            out.append(indent + 'element ' + n.tagName + '\n')
            for name, value in n.attributes.items():
                out.append(indent + '  @' + name + '=' + escape(value) + '\n')
            stack.append((list(n.childNodes), 0))
        elif n.nodeType == Node.COMMENT_NODE:
            out.append(indent + 'comment ' + escape(n.data) + '\n')
        elif n.nodeType == Node.PROCESSING_INSTRUCTION_NODE:
            out.append(indent + 'pi ' + n.target + ' ' + escape(n.data) + '\n')
    return ''.join(out)


def minidom_parse(text):
    try:
        return expatbuilder.parseString(text, namespaces=False)
    except Exception:
        return None


# Files read by name: the same rules as our loader, decoding done here.
PY_CODECS = {'utf-8': 'utf-8', 'utf8': 'utf-8', 'utf-16': 'utf-16-le', 'utf-16le': 'utf-16-le',
             'utf-16be': 'utf-16-be', 'gb2312': 'gbk', 'gbk': 'gbk', 'cp936': 'gbk',
             'gb18030': 'gb18030', 'big5': 'cp950', 'iso-8859-1': 'latin-1',
             'windows-1252': 'cp1252', 'us-ascii': 'ascii'}


def declared_encoding(data):
    if not data.startswith(b'<?xml') or len(data) < 6 or data[5:6] not in b' \t\r\n':
        return None
    end = data.find(b'?>')
    if end < 0:
        return None
    decl = data[:end]
    pos = decl.find(b'encoding')
    if pos < 0:
        return None
    rest = decl[pos + 8:].lstrip(b' \t\r\n')
    if not rest.startswith(b'='):
        return None
    rest = rest[1:].lstrip(b' \t\r\n')
    if not rest[:1] in (b'"', b"'"):
        return None
    close = rest.find(rest[:1], 1)
    return rest[1:close].decode('ascii', 'replace') if close > 0 else None


def decode_file(data):
    if data.startswith(b'\xef\xbb\xbf'):
        codec, data = 'utf-8', data[3:]
    elif data.startswith(b'\xff\xfe'):
        codec, data = 'utf-16-le', data[2:]
    elif data.startswith(b'\xfe\xff'):
        codec, data = 'utf-16-be', data[2:]
    elif data.startswith(b'<\0?\0'):
        codec = 'utf-16-le'
    elif data.startswith(b'\0<\0?'):
        codec = 'utf-16-be'
    else:
        enc = declared_encoding(data)
        codec = PY_CODECS.get(enc.lower()) if enc else 'utf-8'
        if codec is None:
            return None
    try:
        return data.decode(codec)
    except UnicodeDecodeError:
        return None


def reference(data, by_file):
    if by_file:
        text = decode_file(data)
    else:
        try:
            text = data.decode('utf-8')
        except UnicodeDecodeError:
            text = None
    if text is None:
        return 'EMPTY\n'
    return canonical(minidom_parse(text))


# ---- corpus -------------------------------------------------------------------

DECL = '<?xml version="1.0" encoding="GB2312"?>'

HAND = {
    # declarations
    'decl-plain': '<?xml version="1.0"?><a/>',
    'decl-gb2312': DECL + '\r\n<data><a v="\u4e2d"/></data>',
    'decl-all': "<?xml version='1.0' encoding='gbk' standalone='no' ?><a/>",
    'decl-standalone-yes': '<?xml version="1.0" standalone="yes"?><a/>',
    'decl-version-1.1': '<?xml version="1.1"?><a/>',
    'decl-late': ' <?xml version="1.0"?><a/>',
    'decl-twice': '<?xml version="1.0"?><?xml version="1.0"?><a/>',
    'decl-no-version': '<?xml encoding="UTF-8"?><a/>',
    'decl-order': '<?xml encoding="UTF-8" version="1.0"?><a/>',
    'decl-bad-standalone': '<?xml version="1.0" standalone="maybe"?><a/>',
    'decl-bad-encname': '<?xml version="1.0" encoding="1x"?><a/>',
    'decl-unknown-encoding': '<?xml version="1.0" encoding="x-private"?><a/>',
    'decl-unterminated': '<?xml version="1.0"',
    'bom': '\ufeff<a/>',
    # structure
    'empty': '',
    'spaces': '  \r\n',
    'comment-only': '<!-- x -->',
    'two-roots': '<a/><b/>',
    'text-before-root': 'x<a/>',
    'text-after-root': '<a/>x',
    'misc-after-root': '<a/>\r\n<!--c--><?p d?>\r\n',
    'mismatch': '<a><b></a></b>',
    'case-mismatch': '<a></A>',
    'unclosed': '<a><b></b>',
    'stray-end': '</a>',
    'end-space': '<a></a  >',
    'nested': '<data><ZEPRA mainfile="Z.exe"><a.dll Version="1"/><b Version="2">t</b></ZEPRA></data>',
    # attributes
    'attr-dup': '<a x="1" x="2"/>',
    'attr-case': '<a x="1" X="2"/>',
    'attr-unquoted': '<a x=1/>',
    'attr-lt': '<a x="<"/>',
    'attr-quotes': '<a x="\'" y=\'"\'/>',
    'attr-ws': '<a x="\t\r\n y\r z"/>',
    'attr-refs': '<a x="&#9;&#10;&#13;&lt;&amp;&quot;&apos;&gt;"/>',
    'attr-nospace': '<a x="1"y="2"/>',
    'attr-novalue': '<a x/>',
    # references
    'refs': '<a>&lt;&gt;&amp;&apos;&quot;&#65;&#x4e2d;&#x1F600;</a>',
    'ref-undeclared': '<a>&nbsp;</a>',
    'ref-nosemi': '<a>&amp</a>',
    'ref-bare-amp': '<a>a & b</a>',
    'ref-zero': '<a>&#0;</a>',
    'ref-control': '<a>&#1;</a>',
    'ref-surrogate': '<a>&#xD800;</a>',
    'ref-fffe': '<a>&#xFFFE;</a>',
    'ref-too-big': '<a>&#x110000;</a>',
    'ref-X': '<a>&#X41;</a>',
    'ref-cr': '<a>1&#13;&#10;2</a>',
    'ref-space-only': '<a>&#32;</a>',
    # character data
    'cdata': '<a>x<![CDATA[<&>]]>y</a>',
    'cdata-ws': '<a> <![CDATA[ ]]> </a>',
    'cdata-outside': '<![CDATA[x]]><a/>',
    'cdata-end-in-text': '<a>]]></a>',
    'brackets': '<a>]] ]></a>',
    'line-ends': '<a>1\r\n2\r3\n4\r</a>',
    'ws-between': '<a>\r\n  <b/>\r\n  <c> </c>\r\n  <d> x </d>\r\n</a>',
    'nul': '<a>x\0y</a>',
    'formfeed': '<a>\f</a>',
    'del': '<a>\x7f</a>',
    'fffe-char': '<a>\ufffe</a>',
    'astral': '<a>\U0001F600</a>',
    # comments and PIs
    'comments': '<!--c1--><a><!-- x - y --><!----></a><!--c2-->',
    'comment-dashes': '<a><!-- x -- y --></a>',
    'comment-end-dash': '<a><!-- x ---></a>',
    'pi': '<?top d?><a><?p  data  ?><?q?></a>',
    'pi-xml-reserved': '<a><?xml version="1.0"?></a>',
    'pi-XmL-reserved': '<a/><?XmL x?>',
    'pi-xml-prefix': '<a><?xml-stylesheet href="x"?></a>',
    'pi-no-target': '<a><? x?></a>',
    # names
    'names-colon': '<a:b c:d="1"/>',
    'names-cjk': '<\u6570\u636e \u540d="\u503c"><\u62a5\u8868.dll/></\u6570\u636e>',
    'names-latin': '<\u00e9t\u00e9 \u00e0="1"/>',
    'names-digit': '<1a/>',
    'names-dash': '<-a/>',
    'names-times': '<a\u00d7/>',
    'names-middle-dot-start': '<\u00b7a/>',
    'names-greek-3': '<\u037f/>',
    'names-astral': '<\U00010000/>',
    'names-superscript': '<\u2070/>',
    'names-ideographic-space': '<a\u3000b/>',
    # DOCTYPE
    'doctype': '<!DOCTYPE a><a/>',
    'doctype-system': '<!DOCTYPE a SYSTEM "http://127.0.0.1:9/a.dtd"><a/>',
    'doctype-public': '<!DOCTYPE a PUBLIC "-//X//Y//EN" "a.dtd"><a/>',
    'doctype-subset': '<!DOCTYPE a [<!ELEMENT a (#PCDATA)><!ATTLIST a x CDATA "1>"><!-- ] --><?p ]?>]><a>t</a>',
    'doctype-after-root': '<a/><!DOCTYPE a>',
    'doctype-twice': '<!DOCTYPE a><!DOCTYPE a><a/>',
    'doctype-junk': '<!DOCTYPE a [ junk ]><a/>',
    'doctype-entity-used': '<!DOCTYPE a [<!ENTITY e "x">]><a>&e;</a>',
    'doctype-external-undeclared-ref': '<!DOCTYPE a SYSTEM "a.dtd"><a>&e;</a>',
    'doctype-attr-default': '<!DOCTYPE a [<!ATTLIST a x CDATA "dflt">]><a/>',
    'billion-laughs': '<!DOCTYPE l [<!ENTITY a "aaaaaaaaaa"><!ENTITY b "&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;">'
                      '<!ENTITY c "&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;">]><l>&c;</l>',
    # encodings read from files: name -> (bytes, by file)
}

FILES = {
    'file-utf8': ('<a>\u4e2d</a>'.encode('utf-8'), True),
    'file-utf8-bom': (b'\xef\xbb\xbf' + '<a>\u4e2d</a>'.encode('utf-8'), True),
    'file-gb2312': ((DECL + '<a n="\u4e2d\u6587">\u4e2d\u6587</a>').encode('gbk'), True),
    'file-gbk-lower': ('<?xml version="1.0" encoding="gbk"?><a>\u4e02</a>'.encode('gbk'), True),
    'file-gb18030': ('<?xml version="1.0" encoding="GB18030"?><a>\u4e2d</a>'.encode('gb18030'), True),
    'file-big5': ('<?xml version="1.0" encoding="BIG5"?><a>\u4e2d</a>'.encode('cp950'), True),
    'file-latin1': ('<?xml version="1.0" encoding="ISO-8859-1"?><a>caf\u00e9</a>'.encode('latin-1'), True),
    'file-1252': ('<?xml version="1.0" encoding="windows-1252"?><a>\u20ac</a>'.encode('cp1252'), True),
    'file-utf16le-bom': (b'\xff\xfe' + '<?xml version="1.0" encoding="UTF-16"?><a>\u4e2d</a>'.encode('utf-16-le'), True),
    'file-utf16be-bom': (b'\xfe\xff' + '<a>\u4e2d</a>'.encode('utf-16-be'), True),
    'file-utf16le-nobom': ('<?xml version="1.0" encoding="UTF-16"?><a>x</a>'.encode('utf-16-le'), True),
    'file-gbk-undeclared': ('<a>\u4e2d</a>'.encode('gbk'), True),
    'file-gbk-truncated': (DECL.encode() + b'<a>\xd6</a>', True),
    'file-unknown-encoding': (b'<?xml version="1.0" encoding="x-unknown"?><a/>', True),
    'text-invalid-utf8': (b'<a>\xff</a>', False),
    'text-surrogate-utf8': (b'<a>\xed\xa0\x80</a>', False),
    'text-overlong': (b'<a>\xc0\xbc</a>', False),
}

# Every disagreement with minidom, and why it is right for this model.
KNOWN = {
    'doctype-entity-used': 'entities declared in a DOCTYPE are never expanded: an undeclared entity is an error',
    'billion-laughs': 'entities declared in a DOCTYPE are never expanded (expat expands, with its own limits)',
    'doctype-external-undeclared-ref': 'expat lets an unknown entity pass when an external subset might declare it;'
                                       ' nothing is fetched here, so it is an error',
    'names-greek-3': 'U+037F is a name character in XML 1.0 fifth edition; expat uses the older tables',
    'names-astral': 'characters beyond U+FFFF are name characters in the fifth edition; expat refuses them',
    'names-superscript': 'U+2070 is a name start character in the fifth edition; expat uses the older tables',
}

NAMES = ['a', 'b', 'data', 'ZEPRA', 'mod1.dll', 'x-y', '_u', 'k:v', '\u62a5\u8868', '\u6a21\u5757.dll', '\u00e9']
TEXTS = ['t', ' spaced ', '\u4e2d\u6587', '&amp;', '&lt;x&gt;', '&#65;', '&#x4e2d;', '1\r\n2', ' ', '\t', ']]',
         'q"\'', '&#32;', '&#10;']
ATTR_VALUES = ['', '1', '2024.01.15.0001', '#System32', '\u8bf4\u660e', 'a&amp;b', '&quot;', "'", '\t\n',
               '&#13;', 'x y']


def random_document(rng):
    out = []
    if rng.random() < 0.5:
        out.append(rng.choice(['<?xml version="1.0"?>', DECL, "<?xml version='1.0' standalone='yes'?>"]))
    if rng.random() < 0.2:
        out.append(rng.choice(['<!--p-->', '<?p d?>', '\r\n', '<!DOCTYPE data>']))
    budget = rng.randint(1, 30)
    stack = []

    def open_element():
        name = rng.choice(NAMES)
        attrs = rng.sample(NAMES, rng.randint(0, 3))
        parts = ['<', name]
        for a in attrs:
            q = rng.choice('"\'')
            value = rng.choice(ATTR_VALUES)
            if q == "'" and "'" in value:
                value = value.replace("'", '&apos;')
            parts.append(' %s=%s%s%s' % (a, q, value, q))
        if rng.random() < 0.3:
            parts.append('/>')
            out.append(''.join(parts))
            return
        parts.append('>')
        out.append(''.join(parts))
        stack.append(name)

    open_element()
    while stack and budget > 0:
        budget -= 1
        r = rng.random()
        if r < 0.35:
            open_element()
        elif r < 0.55:
            out.append(rng.choice(TEXTS))
        elif r < 0.6:
            out.append('<![CDATA[' + rng.choice(['x', '<&>', ' ', '\u4e2d']) + ']]>')
        elif r < 0.65:
            out.append(rng.choice(['<!--c-->', '<!-- \u6ce8 -->', '<?pi data?>', '<?q?>']))
        elif r < 0.7:
            out.append(rng.choice(['\r\n  ', '\n\t']))
        else:
            out.append('</%s>' % stack.pop())
    while stack:
        out.append('</%s>' % stack.pop())
    if rng.random() < 0.2:
        out.append(rng.choice(['<!--end-->', '\r\n', '<?e?>']))
    return ''.join(out)


MUTATIONS = ['<', '>', '&', '"', "'", '/', '=', ']]>', '\0', '\x01', '--', '<!--', '<![CDATA[', '&#0;', '&e;',
             '\ufffe', ' ', '\u00d7']


def mutate(rng, text):
    if not text:
        return text
    i = rng.randrange(len(text))
    kind = rng.random()
    if kind < 0.4:
        return text[:i] + text[i + 1:]
    if kind < 0.8:
        return text[:i] + rng.choice(MUTATIONS) + text[i:]
    j = rng.randrange(len(text))
    i, j = min(i, j), max(i, j)
    return text[:i] + text[j:i:-1] + text[j:]


def build_corpus(count, random_start):
    rng = random.Random(random_start)
    corpus = {}
    for key, text in HAND.items():
        corpus[key] = (text.encode('utf-8', 'surrogatepass'), False)
    corpus.update(FILES)
    for i in range(count):
        doc = random_document(rng)
        if i % 2:
            for _ in range(rng.randint(1, 3)):
                doc = mutate(rng, doc)
        corpus['random-%04d' % i] = (doc.encode('utf-8', 'surrogatepass'), False)
    return corpus


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('tool')
    ap.add_argument('work')
    ap.add_argument('--count', type=int, default=1500)
    ap.add_argument("--random-start", type=int, default=20240115)
    args = ap.parse_args()
    os.makedirs(args.work, exist_ok=True)
    corpus = build_corpus(args.count, args.random_start)
    paths = {}
    for key, (data, by_file) in corpus.items():
        path = os.path.join(args.work, key + ('.file.xml' if by_file else '.text.xml'))
        with open(path, 'wb') as f:
            f.write(data)
        paths[key] = path
    ours = {}
    keys = list(corpus)
    for start in range(0, len(keys), 200):
        chunk = [paths[k] for k in keys[start:start + 200]]
        result = subprocess.run([args.tool] + chunk, stdout=subprocess.PIPE, check=True)
        current = None
        for line in result.stdout.decode('utf-8', 'surrogateescape').splitlines(keepends=True):
            if line.startswith('=== '):
                current = line[4:].rstrip('\n')
                ours[current] = ''
            else:
                ours[current] += line

    failures = 0
    accepted = 0
    for key in keys:
        data, by_file = corpus[key]
        expected = reference(data, by_file)
        got = ours.get(paths[key])
        agree = got == expected
        accepted += expected != 'EMPTY\n'
        if key in KNOWN:
            if agree:
                failures += 1
                print('LISTED BUT AGREES: %s (%s)' % (key, KNOWN[key]))
            continue
        if not agree:
            failures += 1
            print('DISAGREE: %s\n  input: %r\n  ours:\n%s  minidom:\n%s'
                  % (key, data[:300], indent(got), indent(expected)))
    print('%d documents (%d accepted by minidom), %d listed disagreements, %d unexpected results'
          % (len(keys), accepted, len(KNOWN), failures))
    return 1 if failures else 0


def indent(text):
    if text is None:
        return '    <no output>\n'
    return ''.join('    ' + line + '\n' for line in text.splitlines())


if __name__ == '__main__':
    sys.exit(main())
