#!/usr/bin/env python3
"""Opens pages that -w writes in headless Chromium, through ChromeDriver's WebDriver interface:
the page of a raw image, of a load file and of a C program compiled by cc65, each from disk. Each must load with no error on the
browser's console; a click on a label's link must go to the line that defines it, and a click on
the map's entry point to the line of that address.

    check_page_in_browser.py VELKOR PROJECT_DIR [SCREENSHOT.png] [--time IMAGE START]

With SCREENSHOT the first page is also saved as a picture. --time prints how long the browser
takes to load and lay out the page of the image (an image of code at START, for measuring).
"""
import base64
import json
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, '..', 'roundtrip'))
from atari_files import compiled_files, synthetic_files  # noqa: E402

CHROMIUM_FLAGS = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
                  '--disable-background-networking', '--disable-component-update', '--disable-sync',
                  '--window-size=1200,900', '--allow-file-access-from-files']


class Browser:
    def __init__(self, profile):
        with socket.socket() as s:
            s.bind(('127.0.0.1', 0))
            self.port = s.getsockname()[1]
        self.driver = subprocess.Popen(['chromedriver', '--port=%d' % self.port],
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(100):
            try:
                self.call('GET', '/status')
                break
            except OSError:
                time.sleep(0.1)
        options = {'binary': shutil.which('chromium') or '/usr/bin/chromium',
                   'args': CHROMIUM_FLAGS + ['--user-data-dir=' + profile]}
        answer = self.call('POST', '/session', {'capabilities': {'alwaysMatch': {
            'browserName': 'chrome', 'goog:chromeOptions': options,
            'goog:loggingPrefs': {'browser': 'ALL'}}}})
        self.session = '/session/' + answer['sessionId']

    def call(self, method, path, body=None):
        data = json.dumps(body).encode() if body is not None else None
        request = urllib.request.Request('http://127.0.0.1:%d%s' % (self.port, path), data=data,
                                         method=method, headers={'Content-Type': 'application/json'})
        with urllib.request.urlopen(request, timeout=60) as reply:
            return json.loads(reply.read())['value']

    def open(self, path):
        self.call('POST', self.session + '/url', {'url': 'file://' + path})

    def script(self, text):
        return self.call('POST', self.session + '/execute/sync', {'script': text, 'args': []})

    def click(self, selector):
        element = self.call('POST', self.session + '/element',
                            {'using': 'css selector', 'value': selector})
        self.call('POST', self.session + '/element/%s/click' % list(element.values())[0], {})

    def console_errors(self):
        entries = self.call('POST', self.session + '/se/log', {'type': 'browser'})
        return [e['message'] for e in entries if e.get('level') == 'SEVERE']

    def screenshot(self, path):
        open(path, 'wb').write(base64.b64decode(self.call('GET', self.session + '/screenshot')))

    def close(self):
        try:
            self.call('DELETE', self.session)
        finally:
            self.driver.terminate()
            self.driver.wait()


def line_text(browser, hash_value):
    """The text of the listing line the hash names (the cross references beside it left out), and
    whether the page shows that line marked within the window, below its header."""
    return browser.script(
        "var m=/^#l([0-9]+)$/.exec(%s);if(!m)return [null,false];"
        "var p=document.getElementById('listing').cloneNode(true);"
        "p.querySelectorAll('.x').forEach(function(x){x.remove();});"
        "var h=document.getElementById('hl').getBoundingClientRect(),"
        "top=document.getElementById('map').getBoundingClientRect().bottom;"
        # Where the line's first character stands: the mark must cover it.
        "var P=document.getElementById('listing'),t=P.textContent,at=0;"
        "for(var k=1;k<+m[1];k++)at=t.indexOf('\\n',at)+1;"
        "var w=document.createTreeWalker(P,NodeFilter.SHOW_TEXT),node,seen=0,c=null;"
        "while(node=w.nextNode()){if(seen+node.length>at){var r=document.createRange();"
        "r.setStart(node,at-seen);r.setEnd(node,at-seen);c=r.getBoundingClientRect();break;}"
        "seen+=node.length;}"
        "var covered=!c||(c.top>=h.top-2&&c.bottom<=h.bottom+2);"
        "return [p.textContent.split('\\n')[+m[1]-1],"
        "covered&&document.getElementById('hl').style.display==='block'&&h.top>=top-1&&"
        "h.bottom<=innerHeight];"
        % json.dumps(hash_value))


def check_page(browser, page, label, entry_line_start):
    """Loads the page; follows the first link to the label, then clicks the first entry point
    of the map. Returns the problems found."""
    problems = []
    browser.open(page)
    problems += ['console: ' + m for m in browser.console_errors()]
    if label is None:  # the first label the listing links to
        label = browser.script("return document.querySelector('#listing a[href]:not([id])')"
                               ".getAttribute('href').slice(1)")
    browser.click('#listing a[href="#%s"]' % label)
    target = browser.script('return location.hash')
    if target != '#' + label:
        problems.append('the link to %s went to %s' % (label, target))
    browser.click('.strip .e')
    target = browser.script('return location.hash')
    text, shown = line_text(browser, target)
    if not target.startswith('#l') or not (text or '').startswith(entry_line_start) or not shown:
        problems.append('the entry point of the map went to %s: %r (shown: %s)' % (
            target, text, shown))
    problems += ['console: ' + m for m in browser.console_errors()]
    return problems


def main():
    velkor, project = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    arguments = sys.argv[3:]
    timing = None
    if '--time' in arguments:
        at = arguments.index('--time')
        timing = (os.path.abspath(arguments[at + 1]), arguments[at + 2])
        arguments = arguments[:at]
    screenshot = os.path.abspath(arguments[0]) if arguments else None
    failed = 0
    with tempfile.TemporaryDirectory() as work:
        for reference in ('mnemo.qvt', 'memory.qvt'):
            shutil.copy(os.path.join(project, 'data', reference), work)
        shutil.copy(os.path.join(project, 'examples', 'hello.bin'), work)
        name, data = synthetic_files()[0]
        open(os.path.join(work, name), 'wb').write(data)
        compiled, program = compiled_files(work)[0]  # a C program compiled by cc65
        open(os.path.join(work, 'compiled.xex'), 'wb').write(program)
        runs = [(['hello.bin', '-a$0600', '-l', '-sa', '-n$0600=Start'], 'hello.html', 'E_0624',
                 'Start\t'),
                ([name, '-x', '-l', '-sa'], name.split('.')[0] + '.html', None, 'E_'),
                (['compiled.xex', '-x', '-l'], 'compiled.html', None, 'E_')]
        browser = Browser(os.path.join(work, 'profile'))
        try:
            for arguments, page, label, start in runs:
                subprocess.run([velkor] + arguments + ['-w'], cwd=work, check=True,
                               capture_output=True)
                path = os.path.join(work, page)
                problems = check_page(browser, path, label, start)
                for problem in problems:
                    print('FAIL %s: %s' % (page, problem))
                failed += bool(problems)
                if screenshot and page == 'hello.html':
                    browser.open(path)
                    browser.click('.strip .e')
                    browser.screenshot(screenshot)
            if timing:
                image, start = timing
                shutil.copy(image, os.path.join(work, 'big.bin'))
                subprocess.run([velkor, 'big.bin', '-a' + start, '-l', '-w'], cwd=work, check=True,
                               capture_output=True)
                path = os.path.join(work, 'big.html')
                began = time.time()
                browser.open(path)
                browser.script('return document.body.offsetHeight')
                took = time.time() - began
                load = browser.script('var t=performance.timing;return t.loadEventEnd-t.navigationStart')
                print('%s: %d bytes, loaded and laid out in %.2f s (load event after %d ms)' % (
                    os.path.basename(image), os.path.getsize(path), took, load))
        finally:
            browser.close()
    print('%d pages checked in Chromium, %d failed' % (len(runs), failed))
    sys.exit(1 if failed else 0)


if __name__ == '__main__':
    main()
