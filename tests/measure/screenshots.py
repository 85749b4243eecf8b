#!/usr/bin/env python3
"""Screenshots of one page at moments DELAY seconds apart, from headless Chromium driven
over its DevTools pipe (file descriptors 3 and 4), so that animations run in real time.
Usage: screenshots.py URL OUT_PREFIX COUNT DELAY WIDTHxHEIGHT; writes OUT_PREFIX-N.png."""
import base64
import json
import os
import subprocess
import sys
import tempfile
import time

LOADED = """new Promise(done => {
  const decoded = () => Promise.all([...document.images].map(i => i.decode().catch(() => {}))).then(() => done(true));
  document.readyState === 'complete' ? decoded() : window.addEventListener('load', decoded);
})"""


def main():
    url, prefix, count, delay, size = sys.argv[1], sys.argv[2], int(sys.argv[3]), float(sys.argv[4]), sys.argv[5]
    commands_read, commands_write = os.pipe()
    answers_read, answers_write = os.pipe()

    def child():
        # Fresh copies are inheritable; the pipe's own ends are not.
        a, b = os.dup(commands_read), os.dup(answers_write)
        os.dup2(a, 3)
        os.dup2(b, 4)

    profile = tempfile.mkdtemp()
    browser = subprocess.Popen(
        ['chromium', '--headless', '--no-sandbox', '--disable-gpu', '--remote-debugging-pipe', '--no-first-run',
         '--disable-background-networking', '--disable-component-update', '--disable-sync',
         '--user-data-dir=' + profile, '--window-size=' + size.replace('x', ',')],
        close_fds=False, preexec_fn=child, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(commands_read)
    os.close(answers_write)
    pending = b''
    last = 0

    def send(method, params=None, session=None):
        nonlocal pending, last
        last += 1
        message = {'id': last, 'method': method, 'params': params or {}}
        if session:
            message['sessionId'] = session
        os.write(commands_write, json.dumps(message).encode() + b'\0')
        while True:
            while b'\0' not in pending:
                data = os.read(answers_read, 1 << 20)
                if not data:
                    sys.exit('chromium closed its pipe')
                pending += data
            text, pending = pending.split(b'\0', 1)
            answer = json.loads(text)
            if answer.get('id') == last:
                if 'error' in answer:
                    sys.exit('chromium: %s: %s' % (method, answer['error']))
                return answer['result']

    try:
        target = send('Target.createTarget', {'url': 'about:blank'})['targetId']
        session = send('Target.attachToTarget', {'targetId': target, 'flatten': True})['sessionId']
        send('Page.navigate', {'url': url}, session)  # answered once the page's document is committed
        # The first screenshot once the page has loaded and each of its pictures is decoded.
        send('Runtime.evaluate', {'expression': LOADED, 'awaitPromise': True}, session)
        for n in range(count):
            shot = send('Page.captureScreenshot', {'format': 'png'}, session)['data']
            with open('%s-%d.png' % (prefix, n), 'wb') as f:
                f.write(base64.b64decode(shot))
            time.sleep(delay)  # the moments apart, as the animation is watched
        send('Browser.close')
    finally:
        try:
            browser.wait(timeout=20)
        except subprocess.TimeoutExpired:
            browser.kill()


if __name__ == '__main__':
    main()
