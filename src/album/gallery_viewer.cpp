#include "gallery_parts.h"

namespace lumigal {

namespace {

// Every text of the page reaches the viewer through properties (alt,
// dataset, href) and leaves it through textContent: no page data is ever
// parsed as markup. The address follows the photo shown: one history entry
// when the viewer opens (so that Back closes it), replaced while it moves.
constexpr std::string_view kScript = R"JS((function(){
var list=document.querySelector('.tiles');if(!list||!history.pushState)return;
var a=[].slice.call(list.querySelectorAll('a.v'));if(!a.length)return;
var d=list.dataset,o,f,im,vd,cap,tm,cam,sz,nt,dl,x,pr,nx,pl,i=0,timer=0,sx=null,sy=0,swiped=false;
function el(t,c,s){var e=document.createElement(t);if(c)e.className=c;if(s)e.textContent=s;return e}
function button(c,label,s){var b=el('button',c,s);b.type='button';if(label)b.setAttribute('aria-label',label);return b}
function bare(){return location.pathname+location.search}
function build(){
o=el('div','ov');o.hidden=true;o.tabIndex=-1;o.setAttribute('role','dialog');o.setAttribute('aria-modal','true');
o.setAttribute('aria-label','Visionneuse');
f=el('figure');im=el('img');im.alt='';im.draggable=false;var fc=el('figcaption');cap=el('p','c');
vd=el('video');vd.controls=true;vd.preload='none';vd.playsInline=true;vd.hidden=true;
var pd=el('p','d');tm=el('time');pd.appendChild(tm);cam=el('p','m');sz=el('p','z');nt=el('p','n');
dl=el('a','dl','T\u00e9l\u00e9charger l\u2019original');dl.setAttribute('download','');
fc.appendChild(cap);fc.appendChild(pd);fc.appendChild(cam);fc.appendChild(sz);fc.appendChild(nt);fc.appendChild(dl);
f.appendChild(im);f.appendChild(vd);f.appendChild(fc);
pl=button('pl','','\u25b6 Diaporama');pl.setAttribute('aria-pressed','false');
pr=button('pr','Image pr\u00e9c\u00e9dente','\u2039');nx=button('nx','Image suivante','\u203a');
x=button('x','Fermer','\u00d7');
o.appendChild(pl);o.appendChild(pr);o.appendChild(f);o.appendChild(nx);o.appendChild(x);
document.body.appendChild(o);
x.onclick=close;pr.onclick=function(){move(-1)};nx.onclick=function(){move(1)};
pl.onclick=function(){if(timer)stop();else start()};
vd.addEventListener('play',stop);
o.addEventListener('click',function(e){if(swiped){swiped=false;return}if(e.target===o||e.target===f)close()});
o.addEventListener('pointerdown',function(e){if(e.target!==pl)stop();sx=e.target===vd?null:e.clientX;sy=e.clientY;swiped=false});
o.addEventListener('pointerup',function(e){if(sx===null)return;var dx=e.clientX-sx,dy=e.clientY-sy;sx=null;
if(Math.abs(dx)>50&&Math.abs(dx)>Math.abs(dy)){swiped=true;move(dx<0?1:-1)}});
o.addEventListener('pointercancel',function(){sx=null});
}
function show(n){
i=n;var t=a[i],g=t.querySelector('img'),s=t.dataset,v='video' in s;
im.alt=g?g.alt:'';cap.textContent=im.alt;im.hidden=v;vd.hidden=!v;
if(v){im.removeAttribute('src');vd.poster=g?g.currentSrc||g.src:'';vd.src=t.href}else{still();im.src=t.href}
tm.textContent=s.date||'';tm.dateTime=s.datetime||'';tm.parentNode.hidden=!s.date;
cam.textContent=s.camera||'';cam.hidden=!s.camera;
sz.textContent=s.size||'';sz.hidden=!s.size;nt.textContent=s.note||'';nt.hidden=!s.note;
dl.hidden=!('original' in s);dl.href=t.href;
pr.hidden=i===0&&!d.prevPage;nx.hidden=i+1===a.length&&!d.nextPage;
if(i+1<a.length&&!('video' in a[i+1].dataset))(new Image()).src=a[i+1].href;
if(location.hash!=='#'+t.id)history.replaceState(history.state,'','#'+t.id);
}
function open(n,push){
if(!o)build();
if(o.hidden){o.hidden=false;document.body.classList.add('vu');
if(push)history.pushState({viewer:1},'','#'+a[n].id);}
show(n);x.focus();
}
function still(){if(vd.getAttribute('src')){vd.pause();vd.removeAttribute('src');vd.load()}}
function hide(){
if(!o||o.hidden)return;stop();still();o.hidden=true;document.body.classList.remove('vu');
if(location.hash)history.replaceState(null,'',bare());a[i].focus();
}
function close(){if(history.state&&history.state.viewer)history.back();else hide()}
function away(page,id){stop();location.replace(page+'#'+id)}
function move(k){
var j=i+k;
if(j<0){if(d.prevPage)away(d.prevPage,d.prevLast);return}
if(j>=a.length){if(d.nextPage)away(d.nextPage,d.nextFirst);else stop();return}
show(j);
}
function start(){timer=setInterval(function(){move(1)},4000);pl.setAttribute('aria-pressed','true')}
function stop(){if(!timer)return;clearInterval(timer);timer=0;pl.setAttribute('aria-pressed','false')}
function find(){var id=decodeURIComponent(location.hash.slice(1));
for(var n=0;n<a.length;++n)if(a[n].id===id)return n;return -1}
a.forEach(function(l,n){l.addEventListener('click',function(e){
if(e.button||e.ctrlKey||e.metaKey||e.shiftKey||e.altKey)return;e.preventDefault();open(n,true)})});
document.addEventListener('keydown',function(e){
if(!o||o.hidden)return;
if(!(e.target===pl&&(e.key==='Enter'||e.key===' ')))stop();
if(e.key==='Escape'){e.preventDefault();close()}
else if(e.target===vd&&(e.key==='ArrowLeft'||e.key==='ArrowRight'))return;
else if(e.key==='ArrowLeft')move(-1);
else if(e.key==='ArrowRight')move(1);
else if(e.key==='Tab'){
var k=[].slice.call(o.querySelectorAll('button,video,a[href]')).filter(function(b){return !b.hidden});
var p=k.indexOf(document.activeElement);
if(e.shiftKey&&p<=0){e.preventDefault();k[k.length-1].focus()}
else if(!e.shiftKey&&(p<0||p===k.length-1)){e.preventDefault();k[0].focus()}}
});
window.addEventListener('popstate',function(){var n=find();if(n>=0)open(n,false);else hide()});
var n=find();
if(n>=0){history.replaceState(null,'',bare());open(n,true);
// The browser moves the focus to the #id's tile once the page has loaded.
window.addEventListener('load',function(){if(!o.hidden&&!o.contains(document.activeElement))x.focus()})}
})();)JS";

}  // namespace

std::string_view galleryViewerScript() { return kScript; }

}  // namespace lumigal
