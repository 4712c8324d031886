// ==UserScript==
// @name Zelko
// @version 1.4.6
// ==/UserScript==


(function () {
    var blockFilter = /\.(exe|com|dll|bin|scr|msi|dmg|7z|zip|rar|arj|ace|lzh|xpi|iso|gz|gzip|tgz|bz2|tar|rpm|deb|avi|mpeg|mpg|mp4|wmv|asf|mov|rv|mp3|flac|ape|wma|ra|ram|qt|ogg|doc|pdf|rtf|xls|ppt|chm|djvu)$/i;

    // Older engines than 9 get only the new-window fix for download links.
    var ver = !(typeof opera != 'undefined' && opera && typeof opera.version == 'function' &&
                parseFloat(opera.version()) < 9);

    // Second-level labels under which a country's sites live (bank.co.uk).
    var sharedSuffix = /^(ac|ad|biz|co|com|ed|edu|gen|go|gob|gov|gr|in|info|int|lg|ltd|me|mil|ne|net|nhs|nic|nom|or|org|plc|sch)$/;

    // An event the page made itself (dispatchEvent) says so where the engine
    // knows; an engine without isTrusted takes every event as the user's.
    function byUser(e) {
        return e.isTrusted !== false;
    }

    // The form that the user's own Ctrl+Enter or Ctrl+click on its submit
    // control is sending in this event turn. A submit event carries no keys,
    // and one the page starts itself (requestSubmit) is trusted too: only
    // this form's submit is the user's.
    var userSubmit = null;
    // Taken before the page's own scripts run, which may replace it.
    var setTimer = window.setTimeout;

    function forgetSubmit() {
        userSubmit = null;
    }

    function noteSubmit(form, e) {
        if (!form || !byUser(e) || !e.ctrlKey || e.shiftKey || e.altKey) return;
        // Chromium's Enter also clicks the submit control: still one action.
        if (userSubmit && userSubmit.form === form) return;
        userSubmit = { form: form, handed: false };
        setTimer.call(window, forgetSubmit, 0);
    }

    function noteEnter(e) {
        if (e.keyCode == 13 || e.key == 'Enter') noteSubmit(e.target && e.target.form, e);
    }

    function noteSubmitClick(e) {
        var node = e.target, type;
        while (node && !(node.nodeName && /^(button|input)$/i.test(node.nodeName))) node = node.parentNode;
        if (!node) return;
        type = String(node.type).toLowerCase();
        if (type == 'submit' || type == 'image') noteSubmit(node.form, e);
    }

    // A job line never holds a line break of its own.
    function oneLine(text) {
        return String(text).replace(/\r/g, '%0D').replace(/\n/g, '%0A');
    }

    function topLevelDomain(host) {
        if (!host) return '';
        if (/^\d{1,3}\.\d{1,3}\.\d{1,3}\.\d{1,3}$/.test(host)) return host;
        var labels = host.split('.');
        if (labels.length < 3) return host;
        var n = labels.length;
        if (labels[n - 1].length == 2 && sharedSuffix.test(labels[n - 2].toLowerCase()))
            return labels[n - 3] + '.' + labels[n - 2] + '.' + labels[n - 1];
        return labels[n - 2] + '.' + labels[n - 1];
    }

    // Zelko.exe decides again by the registrable domain; this keeps what it
    // cannot see from ever leaving: another site's host, https cookies on a
    // link of another scheme. Cookies do not depend on the port.
    function cookiesMayGo(link) {
        var a = document.createElement('a');
        a.href = link;
        if (String(location.protocol).toLowerCase() == 'https:' &&
            String(a.protocol).toLowerCase() != 'https:')
            return false;
        var host = String(a.hostname).toLowerCase(), page = String(location.hostname).toLowerCase();
        return host != '' && (host == page || topLevelDomain(host) == topLevelDomain(page));
    }

    // A sandboxed frame throws on reading cookies; the link goes without them.
    function pageCookies() {
        try {
            return String(document.cookie);
        } catch (err) {
            return '';
        }
    }

    function encodeBase64(text) {
        var bytes = [], i, c, d, n, out = '';
        var alphabet = 'ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/';
        for (i = 0; i < text.length; i++) {
            c = text.charCodeAt(i);
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.length) {
                d = text.charCodeAt(i + 1);
                if (d >= 0xDC00 && d <= 0xDFFF) {
                    c = 0x10000 + ((c - 0xD800) << 10) + (d - 0xDC00);
                    i++;
                }
            }
            if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD;  // a lone half of a pair
            if (c < 0x80) {
                bytes.push(c);
            } else if (c < 0x800) {
                bytes.push(0xC0 | (c >> 6), 0x80 | (c & 63));
            } else if (c < 0x10000) {
                bytes.push(0xE0 | (c >> 12), 0x80 | ((c >> 6) & 63), 0x80 | (c & 63));
            } else {
                bytes.push(0xF0 | (c >> 18), 0x80 | ((c >> 12) & 63), 0x80 | ((c >> 6) & 63),
                           0x80 | (c & 63));
            }
        }
        for (i = 0; i < bytes.length; i += 3) {
            n = (bytes[i] << 16) | ((i + 1 < bytes.length ? bytes[i + 1] : 0) << 8) |
                (i + 2 < bytes.length ? bytes[i + 2] : 0);
            out += alphabet.charAt((n >> 18) & 63) + alphabet.charAt((n >> 12) & 63) +
                   (i + 1 < bytes.length ? alphabet.charAt((n >> 6) & 63) : '=') +
                   (i + 2 < bytes.length ? alphabet.charAt(n & 63) : '=');
        }
        return out;
    }

    function selectedText() {
        if (window.getSelection) return String(window.getSelection());
        if (document.selection && document.selection.createRange)
            return String(document.selection.createRange().text);
        return '';
    }

    function SaveFile(link, description, post) {
        var postData = arguments.length == 3 ? post : '';
        var cookies = pageCookies();
        cookies = cookies != '' && cookiesMayGo(link) ? cookies + '; ' : '';
        var text = selectedText();
        if (text == '' && arguments.length > 1 && description) text = String(description);
        text = text.replace(/\s/g, ' ').replace(/"/g, "'").replace(/^ +/, '').replace(/ +$/, '');
        var job = '1;My_Download_Manager;2;;\r\n' + oneLine(location.href) + '\r\n' + oneLine(link) +
                  '\r\n' + text + '\r\n' + oneLine(cookies) + '\r\n' + oneLine(postData) + '\r\n';
        var frame = document.createElement('iframe');
        frame.width = 0;
        frame.height = 0;
        frame.setAttribute('frameborder', 'no');
        frame.setAttribute('scrolling', 'no');
        frame.src = 'data:text/zlk;charset=UTF-8;base64,' + encodeBase64(job);
        document.documentElement.appendChild(frame);
        document.documentElement.removeChild(frame);
    }

    function MonitorClick(e) {
        if (!byUser(e)) return;
        if (e.button != 0 || e.shiftKey || e.altKey) return;
        var node = e.target;
        while (node && !(node.nodeName && node.nodeName.toLowerCase() == 'a')) node = node.parentNode;
        if (!node || !node.href) return;
        if (e.ctrlKey) {
            if (!ver) return;
            e.stopPropagation();
            e.preventDefault();
            SaveFile(node.href, node.innerText);
        } else if (node.getAttribute('target') == '_blank' && blockFilter.test(node.href)) {
            node.removeAttribute('target');
        }
    }

    function isReplyForm(form) {
        var elements = form.elements, i, tag;
        for (i = 0; i < elements.length; i++) {
            tag = String(elements[i].tagName).toLowerCase();
            if ((tag == 'textarea' && elements[i].name) || tag == 'iframe') return true;
        }
        return false;
    }

    function getFormParams(form) {
        var parts = [], elements = form.elements, i, el, type, text, inputs;
        for (i = 0; i < elements.length; i++) {
            el = elements[i];
            if (!el.name) continue;
            type = String(el.type || '').toLowerCase();
            if (type == 'checkbox') {
                if (el.checked) parts.push(el.name + '=on');
            } else if (type == 'radio') {
                if (el.checked) parts.push(el.name + '=' + escape(el.value));
            } else {
                parts.push(el.name + '=' + (el.value ? escape(el.value) : ''));
            }
        }
        text = parts.join('&');
        inputs = form.getElementsByTagName('input');
        for (i = 0; i < inputs.length; i++) {
            if (String(inputs[i].type).toLowerCase() == 'image' && inputs[i].name)
                text += (text == '' ? '' : '&') + inputs[i].name + '.x=0&' + inputs[i].name + '.y=0';
        }
        return text;
    }

    // The address an attribute names, resolved against the page.
    function resolved(address) {
        var a = document.createElement('a');
        a.href = address;
        return a.href;
    }

    function FormWork(e) {
        var form = e.target;
        if (!byUser(e) || !userSubmit || userSubmit.form !== form || isReplyForm(form)) return;
        e.stopPropagation();
        e.preventDefault();
        // The page may submit the same form again in this turn: one job.
        if (userSubmit.handed) return;
        userSubmit.handed = true;
        var params = getFormParams(form);
        var action = form.getAttribute('action');
        var link = action ? resolved(action) : location.href;
        // The parameters go before a fragment, after "&" when the address
        // already has a query.
        var fragment = /#[\s\S]*$/.exec(link);
        fragment = fragment ? fragment[0] : '';
        link = link.substring(0, link.length - fragment.length);
        var separator = !/\?/.test(link) ? '?' : (/[?&]$/.test(link) ? '' : '&');
        link += separator + params + fragment;
        var method = String(form.getAttribute('method') || '').toLowerCase();
        SaveFile(link, '', method == 'post' ? params : '');
    }

    function removeMetaRefresh() {
        var metas = document.getElementsByTagName('meta'), i, meta, content, target, a, found = null;
        for (i = 0; i < metas.length; i++) {
            meta = metas[i];
            if (String(meta.getAttribute('http-equiv') || '').toLowerCase() != 'refresh') continue;
            content = meta.getAttribute('content');
            if (content == null) continue;
            a = document.createElement('a');
            a.setAttribute('style', 'display:none !important;');
            target = content.replace(/^[\w\s;.]*url=\s*/i, '');
            // url='x.zip' and url="x.zip" name the address inside the quotes.
            a.href = target.replace(/^(["'])([\s\S]*?)(\1[\s\S]*)?$/, '$2');
            document.documentElement.appendChild(a);
            if (blockFilter.test(a.pathname)) {
                if (found == null) found = a.href;
                meta.setAttribute('http-equiv', '');
                meta.setAttribute('content', '');
            }
            document.documentElement.removeChild(a);
        }
        if (found != null) {
            var markup = document.documentElement.outerHTML + '</html>';
            document.open();
            document.write(markup);
            document.close();
            SaveFile(found);
        }
    }

    document.addEventListener('click', MonitorClick, false);
    if (ver) {
        // Engines submit on the key's press or on the click it makes.
        document.addEventListener('keydown', noteEnter, true);
        document.addEventListener('keypress', noteEnter, true);
        document.addEventListener('click', noteSubmitClick, true);
        document.addEventListener('keyup', forgetSubmit, true);
        // A blur of any element, and the window's own focus loss.
        window.addEventListener('blur', forgetSubmit, true);
        document.addEventListener('submit', FormWork, false);
        document.addEventListener('DOMContentLoaded', removeMetaRefresh, false);
    }
})();
