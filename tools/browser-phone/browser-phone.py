#!/usr/bin/python3
"""A phone's web browser for the browser phone's page: headless Chromium driven by Selenium.

Usage:
  browser-phone.py URL

Opens URL in headless Chromium (through /usr/bin/chromedriver) with a phone-sized window and
prints "ready", or "error <why>" and exits 1. Then reads commands from stdin, one a line, and
answers each with one line on stdout:
  pick FILE...             picks the files in the page's file input (#pick)  -> "ok"
  tap N                    clicks the thumbnail button.thumb[data-n=N]       -> "ok"
  click ID                 clicks the element #ID once it is enabled         -> "ok"
  attr ID NAME             the attribute NAME of #ID ("" when it has none)
  text ID                  the text of #ID
  wait ID NAME VALUE SECS  until attribute NAME of #ID equals VALUE          -> "ok", or the
                           last value seen when SECS passed (VALUE left out: "")
  shot FILE                a screenshot of the page into FILE (PNG)          -> "ok"
  reload                   reloads the page                                  -> "ok"
  quit                     ends the browser, answers "ok" and exits 0 (so does end of input)
A command that fails is answered "error <why>". Line breaks in answers become spaces.
"""

import os
import signal
import sys
import time

from selenium import webdriver
from selenium.common.exceptions import (NoSuchElementException, StaleElementReferenceException,
                                        TimeoutException, WebDriverException)
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support import expected_conditions
from selenium.webdriver.support.ui import WebDriverWait

CHROMIUM = '/usr/bin/chromium'
CHROMEDRIVER = '/usr/bin/chromedriver'
# A phone's viewport in CSS pixels.
WIDTH, HEIGHT = 412, 915
# Longest wait for an element to appear or to become enabled.
ELEMENT_SECONDS = 10
POLL_SECONDS = 0.1


def start(url):
    # The page is on the PC's own network: no proxy from the environment may come between.
    for name in ('http_proxy', 'https_proxy', 'all_proxy', 'HTTP_PROXY', 'HTTPS_PROXY', 'ALL_PROXY'):
        os.environ.pop(name, None)
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for argument in ('--headless=new', '--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage',
                     '--no-proxy-server', '--no-first-run', f'--window-size={WIDTH},{HEIGHT}'):
        options.add_argument(argument)
    driver = webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)
    # The window-size switch alone leaves a wider window.
    try:
        driver.set_window_size(WIDTH, HEIGHT)
        driver.get(url)
    except WebDriverException:
        driver.quit()
        raise
    return driver


def element(driver, selector, enabled=False):
    condition = (expected_conditions.element_to_be_clickable if enabled
                 else expected_conditions.presence_of_element_located)
    return WebDriverWait(driver, ELEMENT_SECONDS).until(condition((By.CSS_SELECTOR, selector)))


def attribute(driver, ident, name):
    return driver.find_element(By.ID, ident).get_attribute(name) or ''


def wait(driver, ident, name, value, seconds):
    deadline = time.monotonic() + float(seconds)
    last = ''
    while True:
        # A page that is being replaced has the element for a moment only, or not yet.
        try:
            last = attribute(driver, ident, name)
        except (NoSuchElementException, StaleElementReferenceException):
            pass
        if last == value:
            return 'ok'
        if time.monotonic() >= deadline:
            return last
        time.sleep(POLL_SECONDS)


def run(driver, words):
    command, args = words[0], words[1:]
    if command == 'pick' and args:
        paths = [os.path.abspath(path) for path in args]
        element(driver, '#pick').send_keys('\n'.join(paths))
        return 'ok'
    if command == 'tap' and len(args) == 1:
        element(driver, f'button.thumb[data-n="{int(args[0])}"]', enabled=True).click()
        return 'ok'
    if command == 'click' and len(args) == 1:
        element(driver, '#' + args[0], enabled=True).click()
        return 'ok'
    if command == 'attr' and len(args) == 2:
        return attribute(driver, *args)
    if command == 'text' and len(args) == 1:
        return driver.find_element(By.ID, args[0]).text
    if command == 'wait' and len(args) in (3, 4):
        # An empty VALUE leaves four words: ID NAME SECS.
        ident, name, value, seconds = args if len(args) == 4 else (args[0], args[1], '', args[2])
        return wait(driver, ident, name, value, seconds)
    if command == 'shot' and len(args) == 1:
        return 'ok' if driver.save_screenshot(os.path.abspath(args[0])) else 'error no screenshot'
    if command == 'reload' and not args:
        driver.refresh()
        return 'ok'
    return 'error unknown command: ' + ' '.join(words)


def answer(line):
    print(' '.join(str(line).split('\n')), flush=True)


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    # SIGTERM ends the browser too, through the finally below.
    signal.signal(signal.SIGTERM, lambda number, frame: sys.exit(128 + number))
    driver = None
    try:
        try:
            driver = start(sys.argv[1])
        except WebDriverException as error:
            answer('error ' + (error.msg or str(error)).strip())
            return 1
        answer('ready')
        for line in sys.stdin:
            words = line.split()
            if not words:
                continue
            if words[0] == 'quit':
                break
            try:
                answer(run(driver, words))
            except TimeoutException:
                answer(f'error timed out after {ELEMENT_SECONDS} s')
            except (WebDriverException, ValueError) as error:
                message = getattr(error, 'msg', None) or str(error) or type(error).__name__
                answer('error ' + message.strip())
    finally:
        if driver is not None:
            driver.quit()
    answer('ok')
    return 0


if __name__ == '__main__':
    sys.exit(main())
